#include "platform/dialogs/common_dialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QSettings>
#include <algorithm>
#include <cstdlib>
#include <limits>

void keepNoDialogState() {
    // Qt's dialogs open their settings by organization ("QtProject") in the native format; under
    // a folder that can never be made ("/dev/null/...") they find nothing to read and write
    // nothing. The program's own store names its file, so this path does not reach it.
    static const bool done = [] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("/dev/null"));
        return true;
    }();
    (void)done;
}

QtCommonDialog::QtCommonDialog(QWidget* owner) : owner_(owner) { keepNoDialogState(); }

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

void setWindowsFilter(QFileDialog& dialog, const QString& windowsFilter) {
    const QStringList filters = qtNameFilters(windowsFilter);
    if (filters.isEmpty()) return;
    // The dialog reads the patterns from the last bracket of each filter and, with details
    // hidden, shows what stands before it: the name as given, which often names its patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(filters);
}

QString joinOpenResult(const QStringList& paths) {
    if (paths.isEmpty()) return {};
    if (paths.size() == 1) return QDir::toNativeSeparators(paths.first());
    // Names chosen in the list share the dialog's folder; typed ones may not, so the folder is
    // the deepest one that holds them all and each name is its path from there.
    const auto withSlash = [](const QString& folder) {
        return folder.endsWith(u'/') ? folder : folder + u'/';
    };
    QString folder = QFileInfo(paths.first()).absolutePath();
    for (const QString& path : paths) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        while (!absolute.startsWith(withSlash(folder)) && !QDir(folder).isRoot())
            folder = QFileInfo(folder).absolutePath();
    }
    const qsizetype nameStart = withSlash(folder).size();
    QString result = QDir::toNativeSeparators(folder);
    for (const QString& path : paths) {
        result.append(QChar(0));
        result.append(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath().mid(nameStart)));
    }
    return result;
}

namespace {

// Icons and type names by file name alone. Qt's own provider (and a desktop theme's) reads a
// file's first bytes to tell its type, and some files block a reader for ever (/proc/kmsg, a
// pipe in a folder the user browses), freezing the whole program.
// Built on the widgets' provider, whose folder and file icons fall back to the style's when no
// icon theme is installed: the dialog's side bar scales the folder icon and warns of a null one.
class NameOnlyIconProvider : public QFileIconProvider {
  public:
    using QFileIconProvider::icon;

    QIcon icon(const QFileInfo& info) const override {
        if (info.isDir()) return icon(QFileIconProvider::Folder);
        if (info.isFile()) {
            const QMimeType type = typeByName(info);
            for (const QString& name : {type.iconName(), type.genericIconName()}) {
                const QIcon themed = QIcon::fromTheme(name);
                if (!themed.isNull()) return themed;
            }
        }
        return icon(QFileIconProvider::File);
    }

    QString type(const QFileInfo& info) const override {
        // Qt's own answer reads nothing but for regular files.
        if (!info.isFile()) return QFileIconProvider::type(info);
        const QMimeType type = typeByName(info);
        return type.comment().isEmpty() ? type.name() : type.comment();
    }

  private:
    QMimeType typeByName(const QFileInfo& info) const {
        return mimeTypes_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }

    QMimeDatabase mimeTypes_;
};

// What the open and save dialogs share: Qt's widget dialog, nothing read but names and stat.
void makeSafeToBrowse(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    static NameOnlyIconProvider icons;
    dialog.setIconProvider(&icons);
}

// The widget dialog in "any file" mode, which takes a typed name whether or not it exists, with
// the extended selection of the "existing files" mode, which alone would refuse missing names.
// Nothing is checked on accepting: the caller decides what each chosen path is. A single folder
// is entered, as the dialog always does.
//
// QFileDialog has no way to ask for either, so its own children are reached by the object names
// Qt 6.4's widget dialog gives them (its views "listView" and "treeView", its name box
// "fileNameEdit"). Qt keeps no promise about these names; the dialog test fails if one changes.
class OpenFilesDialog : public QFileDialog {
  public:
    OpenFilesDialog(QWidget* owner, const QString& title, bool multiple)
        : QFileDialog(owner, title) {
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::AnyFile);
        makeSafeToBrowse(*this);
        if (!multiple) return;
        for (const char* view : {"listView", "treeView"})
            if (auto* items = findChild<QAbstractItemView*>(QLatin1String(view)))
                items->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }

    const QStringList& chosen() const { return chosen_; }

    void accept() override {
        QStringList files = namesInBox();
        if (files.isEmpty()) files = selectedFiles();
        if (files.isEmpty()) return;
        if (files.size() == 1 && QFileInfo(files.first()).isDir()) {
            setDirectory(files.first());
            if (QLineEdit* box = nameBox()) box->clear();
            return;
        }
        chosen_ = files;
        QDialog::accept();
    }

  private:
    QLineEdit* nameBox() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    // The names in the file name box, typed or put there by the list's selection: one name, or
    // several in double quotes, each taken from the shown folder. The box and not the list's
    // selection decides, so a typed name of a missing file stays, and the order is as written.
    QStringList namesInBox() const {
        const QLineEdit* box = nameBox();
        if (!box) return {};
        const QString text = box->text();
        QStringList names;
        if (!text.contains(u'"')) {
            if (!text.isEmpty()) names.append(text);
        } else {
            const QStringList parts = text.split(u'"');
            for (qsizetype i = 1; i < parts.size(); i += 2)
                if (!parts.at(i).isEmpty()) names.append(parts.at(i));
        }
        QStringList paths;
        const QDir folder = directory();
        for (QString name : names) {
            if (name == u"~" || name.startsWith(QStringLiteral("~/")))
                name = QDir::homePath() + name.mid(1);
            paths.append(QDir::cleanPath(folder.absoluteFilePath(name)));
        }
        return paths;
    }

    QStringList chosen_;
};

}  // namespace

void QtCommonDialog::ShowOpen() {
    OpenFilesDialog dialog(owner_, DialogTitle, Flags & kOfnAllowMultiSelect);
    setWindowsFilter(dialog, Filter);
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted) {
        FileName.clear();
        return;
    }
    FileName = joinOpenResult(dialog.chosen());
}

void QtCommonDialog::ShowSave() {
    QFileDialog dialog(owner_, DialogTitle);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    makeSafeToBrowse(dialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    setWindowsFilter(dialog, Filter);
    if (!DefaultExt.isEmpty()) dialog.setDefaultSuffix(DefaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        FileName.clear();
        return;
    }
    FileName = QDir::toNativeSeparators(dialog.selectedFiles().first());
}

namespace {

// The face's own style that shows the given bold and italic: of the styles with that slant
// (italic or oblique), the one whose weight is nearest to bold or normal; of equals the plainest
// name ("Book" before "Condensed"), as the database tells no widths.
QString styleShowing(const QString& family, bool bold, bool italic) {
    const int wanted = bold ? QFont::Bold : QFont::Normal;
    QString best;
    int bestDistance = std::numeric_limits<int>::max();
    for (const QString& style : QFontDatabase::styles(family)) {
        const QFont face = QFontDatabase::font(family, style, 12);
        if (face.italic() != italic) continue;
        const int distance = std::abs(face.weight() - wanted);
        if (distance < bestDistance || (distance == bestDistance && style.size() < best.size())) {
            best = style;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace

void prepareFontDialog(QFontDialog& dialog, const CommonDialog& fields) {
    dialog.setOption(QFontDialog::DontUseNativeDialog, true);
    // A face that is not installed under its own name ("Arial" on most Linux systems) is shown as
    // the installed family that stands in for it; the dialog would otherwise fall back to its
    // first entry. Its own style name is given too, as the dialog matches styles by name.
    const QString face = fields.FontName.isEmpty() ? QStringLiteral("Arial") : fields.FontName;
    QFont start(QFontInfo(QFont(face)).family());
    const QString style = styleShowing(start.family(), fields.FontBold, fields.FontItalic);
    if (!style.isEmpty()) start.setStyleName(style);
    start.setBold(fields.FontBold);
    start.setItalic(fields.FontItalic);
    start.setPointSizeF(fields.FontSize > 0 ? fields.FontSize : 8);
    dialog.setCurrentFont(start);
    // The effects are the group boxes that hold check boxes, the sample the one that holds a line
    // edit: QFontDialog names neither (Qt 6.4), and offers no way to hide the effects. The font
    // dialog test fails if a later Qt lays them out otherwise.
    const bool effects = fields.Flags & kCfEffects;
    int effectsHeight = 0;
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        if (!group->findChild<QCheckBox*>()) continue;
        effectsHeight = std::max(effectsHeight, group->sizeHint().height());
        group->setVisible(effects);
    }
    // The sample box shares its row with the effects and asks for no height of its own; without
    // the effects beside it the row would shrink to a sliver and cut the sample text.
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>())
        if (!group->findChild<QCheckBox*>() && group->findChild<QLineEdit*>())
            group->setMinimumHeight(effectsHeight);
}

void takeFontChoice(CommonDialog& fields, const QFont& shown, const QFont& chosen) {
    if (chosen.family() != shown.family()) fields.FontName = chosen.family();
    if (chosen.pointSize() != shown.pointSize()) fields.FontSize = float(chosen.pointSizeF());
    if (chosen.bold() != shown.bold()) fields.FontBold = chosen.bold();
    if (chosen.italic() != shown.italic()) fields.FontItalic = chosen.italic();
}

void QtCommonDialog::ShowFont() {
    QFontDialog dialog(owner_);
    prepareFontDialog(dialog, *this);
    const QFont shown = dialog.currentFont();
    if (dialog.exec() != QDialog::Accepted) return;
    takeFontChoice(*this, shown, dialog.selectedFont());
}
