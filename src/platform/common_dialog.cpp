#include "platform/common_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>

QStringList qtNameFilters(const QString& windowsFilter) {
    const QStringList parts = windowsFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == u"*.*") pattern = QStringLiteral("*");
        }
        if (patterns.isEmpty()) continue;
        filters.append(parts.at(i).trimmed() + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return filters;
}

QString joinOpenResult(const QStringList& paths) {
    if (paths.isEmpty()) return {};
    if (paths.size() == 1) return paths.first();
    // Several files always share the dialog's folder.
    QString folder = QFileInfo(paths.first()).absolutePath();
    folder = QDir::toNativeSeparators(folder);
    QString result = folder;
    for (const QString& path : paths) {
        result.append(QChar(0));
        result.append(QFileInfo(path).fileName());
    }
    return result;
}

void QtCommonDialog::ShowOpen() {
    QFileDialog dialog(owner_, DialogTitle);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Without a must-exist check a typed name of a missing file is returned like any other.
    dialog.setFileMode((Flags & kOfnAllowMultiSelect) ? QFileDialog::ExistingFiles
                                                      : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const QStringList filters = qtNameFilters(Filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted) {
        FileName.clear();
        return;
    }
    QStringList chosen = dialog.selectedFiles();
    for (QString& path : chosen) path = QDir::toNativeSeparators(path);
    FileName = joinOpenResult(chosen);
}

void QtCommonDialog::ShowSave() {
    QFileDialog dialog(owner_, DialogTitle);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = qtNameFilters(Filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!DefaultExt.isEmpty()) dialog.setDefaultSuffix(DefaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        FileName.clear();
        return;
    }
    FileName = QDir::toNativeSeparators(dialog.selectedFiles().first());
}

void QtCommonDialog::ShowFont() {
    QFont initial(FontName.isEmpty() ? QStringLiteral("Arial") : FontName);
    initial.setPointSizeF(FontSize > 0 ? FontSize : 8);
    initial.setBold(FontBold);
    initial.setItalic(FontItalic);
    bool ok = false;
    const QFont chosen =
        QFontDialog::getFont(&ok, initial, owner_, QString(), QFontDialog::DontUseNativeDialog);
    if (!ok) return;
    FontName = chosen.family();
    FontSize = float(chosen.pointSizeF());
    FontBold = chosen.bold();
    FontItalic = chosen.italic();
}
