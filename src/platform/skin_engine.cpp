#include "platform/skin_engine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QWidget>

namespace {

const QString kWindowSection = QStringLiteral("window");
const QString kControlsSection = QStringLiteral("controls");
const QString kToolTipsSection = QStringLiteral("tool-tips");
const QString kMenusSection = QStringLiteral("menus");
const QString kMessageBoxesSection = QStringLiteral("message-boxes");

// The marker a comment's text names, or an empty text when the comment is an ordinary one.
QString markerOf(QStringView comment) {
    static const QRegularExpression marker(QStringLiteral("^\\s*@([A-Za-z][A-Za-z0-9-]*)\\s*$"));
    const QRegularExpressionMatch match = marker.match(comment);
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

}  // namespace

SkinSections splitSkinSections(const QString& sheet) {
    SkinSections sections;
    QString current = kWindowSection;
    qsizetype chunkStart = 0;
    auto flush = [&](qsizetype end) {
        sections[current] += sheet.mid(chunkStart, end - chunkStart);
    };
    // Comments do not nest and do not open inside a quoted string, so one pass finds every
    // marker without mistaking "/*" in a url for one.
    QChar quote;
    for (qsizetype i = 0; i < sheet.size(); ++i) {
        const QChar c = sheet.at(i);
        if (!quote.isNull()) {
            if (c == u'\\')
                ++i;
            else if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
            continue;
        }
        if (c != u'/' || i + 1 >= sheet.size() || sheet.at(i + 1) != u'*') continue;
        const qsizetype close = sheet.indexOf(QStringLiteral("*/"), i + 2);
        if (close < 0) break;
        const QString name = markerOf(QStringView(sheet).mid(i + 2, close - i - 2));
        if (!name.isEmpty()) {
            flush(i);
            current = name;
            chunkStart = close + 2;
        }
        i = close + 1;
    }
    flush(sheet.size());
    return sections;
}

namespace {

// A quoted CSS string holds backslash escapes; the path is what they stand for.
QString unescapeCss(const QString& quoted) {
    QString out;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        if (quoted.at(i) == u'\\' && i + 1 < quoted.size()) ++i;
        out.append(quoted.at(i));
    }
    return out;
}

QString escapeCss(QString path) {
    return path.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
}

}  // namespace

QString resolveSkinUrls(const QString& sheet, const QString& folder) {
    static const QRegularExpression url(QStringLiteral(
        "url\\(\\s*(?:\"((?:[^\"\\\\]|\\\\.)*)\"|'((?:[^'\\\\]|\\\\.)*)'|([^\"')\\s]*))\\s*\\)"));
    const QDir base(folder);
    QString out;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch& match : url.globalMatch(sheet)) {
        QString path = match.hasCaptured(3) ? match.captured(3)
                                            : unescapeCss(match.captured(1) + match.captured(2));
        // Qt resource paths and absolute ones already say where they are.
        if (path.isEmpty() || path.startsWith(u':') || QDir::isAbsolutePath(path)) continue;
        path = QDir::cleanPath(base.absoluteFilePath(path));
        out += QStringView(sheet).mid(copied, match.capturedStart() - copied);
        out += QStringLiteral("url(\"") + escapeCss(path) + QStringLiteral("\")");
        copied = match.capturedEnd();
    }
    out += QStringView(sheet).mid(copied);
    return out;
}

bool QtSkinEngine::loadSkinFile(const QString& skinFile, const QString& resourceFolder) {
    loaded_ = false;
    sections_.clear();
    const QFileInfo info(skinFile);
    if (!info.isFile()) return false;
    QFile file(skinFile);
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (file.size() > kMaxSkinBytes) return false;
    const QByteArray bytes = file.read(qBound<qint64>(0, file.size(), kMaxSkinBytes + 1));
    if (bytes.size() > kMaxSkinBytes || bytes.contains('\0')) return false;
    QStringDecoder decode(QStringConverter::System);
    const QString sheet = decode(bytes);
    if (decode.hasError()) return false;
    const QString folder = resourceFolder.isEmpty() ? info.absolutePath() : resourceFolder;
    sections_ = splitSkinSections(resolveSkinUrls(sheet, folder));
    loaded_ = true;
    return true;
}

QString QtSkinEngine::windowSheet() const {
    if (!loaded_) return QString();
    QString sheet = sections_.value(kWindowSection);
    if (skinControls_) sheet += sections_.value(kControlsSection);
    if (popupParts_ & kToolTips) sheet += sections_.value(kToolTipsSection);
    if (popupParts_ & kMenus) sheet += sections_.value(kMenusSection);
    return sheet;
}

QString QtSkinEngine::messageBoxSheet() const {
    if (!loaded_ || !skinMessageBoxes_) return QString();
    return sections_.value(kMessageBoxesSection);
}

void QtSkinEngine::skinWindow(QWidget& window) {
    // Without a loaded skin the window keeps the look it has.
    if (!loaded_) return;
    window.setStyleSheet(windowSheet());
    const QString boxes = messageBoxSheet();
    if (!boxes.isEmpty()) {
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
            app->setStyleSheet(boxes);
    }
}
