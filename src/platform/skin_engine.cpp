#include "platform/skin_engine.h"

#include "platform/failure.h"
#include "platform/file_kind.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QWidget>
#include <optional>

namespace {

const QString kWindowSection = QStringLiteral("window");
const QString kControlsSection = QStringLiteral("controls");
const QString kToolTipsSection = QStringLiteral("tool-tips");
const QString kMenusSection = QStringLiteral("menus");
const QString kMessageBoxesSection = QStringLiteral("message-boxes");

// The marker a comment's text names, or an empty text when the comment is an ordinary one.
QString markerOf(QStringView comment) {
    static const QRegularExpression marker(
        QStringLiteral("^\\s*@([A-Za-z][A-Za-z0-9-]*(?::[A-Za-z]+)?)\\s*$"));
    const QRegularExpressionMatch match = marker.match(comment);
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

// A section and, right after it, its variant for a light or a dark palette.
QString sectionFor(const SkinSections& sections, const QString& name, bool dark) {
    return sections.value(name) +
           sections.value(name + (dark ? QStringLiteral(":dark") : QStringLiteral(":light")));
}

// A style sheet cascades along the QObject tree, across window borders, so a sheet on the window
// would reach the windows it owns too: the chart window, the file and font dialogs. The skin goes
// on the window's own controls instead and stays inside the window.
void setControlsSheet(QWidget& window, const QString& sheet) {
    for (QObject* child : window.children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control && !control->isWindow()) control->setStyleSheet(sheet);
    }
}

void setApplicationSheet(const QString& sheet) {
    if (sheet.isEmpty()) return;
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setStyleSheet(sheet);
}

// Draws the window again with the other variants when the desktop palette turns between light
// and dark while the program runs. It keeps the sheets of both, so it needs no engine.
class PaletteFollower : public QObject {
  public:
    static constexpr char kName[] = "skinPaletteFollower";
    PaletteFollower(QWidget& window, const QtSkinEngine& engine, bool dark) : QObject(&window) {
        for (bool variant : {false, true}) {
            windowSheets_[variant] = engine.windowSheet(variant);
            boxSheets_[variant] = engine.messageBoxSheet(variant);
        }
        dark_ = dark;
        setObjectName(QLatin1String(kName));
        window.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ApplicationPaletteChange) return false;
        const bool dark = isDarkPalette(QApplication::palette());
        if (dark == dark_) return false;
        dark_ = dark;
        setControlsSheet(*static_cast<QWidget*>(watched), windowSheets_[dark]);
        setApplicationSheet(boxSheets_[dark]);
        return false;
    }

  private:
    QString windowSheets_[2];
    QString boxSheets_[2];
    bool dark_;
};

}  // namespace

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::WindowText).lightnessF() >
           palette.color(QPalette::Window).lightnessF();
}

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
QString unescapeCss(QStringView quoted) {
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

// The index after the closing quote of the string that opens at from, or -1 when it never closes.
qsizetype endOfString(QStringView sheet, qsizetype from) {
    const QChar quote = sheet.at(from);
    for (qsizetype i = from + 1; i < sheet.size(); ++i) {
        if (sheet.at(i) == u'\\')
            ++i;
        else if (sheet.at(i) == quote)
            return i + 1;
    }
    return -1;
}

bool isQuote(QChar c) { return c == u'"' || c == u'\''; }
bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u'_'; }

struct UrlToken {
    qsizetype end;  // after its ')'
    QString path;
};

// The url() that starts at from, or nothing when what follows "url(" is no complete one.
std::optional<UrlToken> urlAt(QStringView sheet, qsizetype from) {
    qsizetype i = from + 4;
    auto skipBlanks = [&] {
        while (i < sheet.size() && sheet.at(i).isSpace()) ++i;
    };
    skipBlanks();
    QString path;
    if (i < sheet.size() && isQuote(sheet.at(i))) {
        const qsizetype end = endOfString(sheet, i);
        if (end < 0) return std::nullopt;
        path = unescapeCss(sheet.sliced(i + 1, end - i - 2));
        i = end;
    } else {
        const qsizetype start = i;
        while (i < sheet.size() && sheet.at(i) != u')' && !sheet.at(i).isSpace() &&
               !isQuote(sheet.at(i)))
            ++i;
        path = sheet.sliced(start, i - start).toString();
    }
    skipBlanks();
    if (i >= sheet.size() || sheet.at(i) != u')') return std::nullopt;
    return UrlToken{i + 1, path};
}

}  // namespace

QString resolveSkinUrls(const QString& sheet, const QString& folder,
                        const std::function<bool(const QString&)>& usable) {
    // One pass in the way CSS reads the sheet: a url() inside a string or a comment is text, not
    // a reference, and a rewritten url() reads the same way again.
    const QDir base(folder);
    const QStringView text(sheet);
    QString out;
    qsizetype copied = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (isQuote(c)) {
            i = endOfString(text, i);
            if (i < 0) break;
        } else if (c == u'/' && text.sliced(i).startsWith(u"/*")) {
            const qsizetype close = text.indexOf(u"*/", i + 2);
            if (close < 0) break;
            i = close + 2;
        } else if (text.sliced(i).startsWith(u"url(", Qt::CaseInsensitive) &&
                   (i == 0 || !isNameChar(text.at(i - 1)))) {
            const std::optional<UrlToken> url = urlAt(text, i);
            if (!url) {
                i += 4;
                continue;
            }
            // Qt resource paths and absolute ones already say where they are.
            const QString& path = url->path;
            if (!path.isEmpty() && !path.startsWith(u':')) {
                QString target = QDir::isAbsolutePath(path)
                                     ? path
                                     : QDir::cleanPath(base.absoluteFilePath(path));
                if (usable && !usable(target)) target.clear();
                if (target != path) {
                    out += text.sliced(copied, i - copied);
                    out += QStringLiteral("url(\"") + escapeCss(target) + QStringLiteral("\")");
                    copied = url->end;
                }
            }
            i = url->end;
        } else {
            ++i;
        }
    }
    out += text.sliced(copied);
    return out;
}

bool QtSkinEngine::loadSkinFile(const QString& skinFile, const QString& resourceFolder) {
    loaded_ = false;
    sections_.clear();
    const QFileInfo info(skinFile);
    QFile file;
    try {
        openRegularFile(file, skinFile);
    } catch (const Failure&) {
        return false;
    }
    if (file.size() > kMaxSkinBytes) return false;
    const QByteArray bytes = file.read(qBound<qint64>(0, file.size(), kMaxSkinBytes + 1));
    if (bytes.size() > kMaxSkinBytes || bytes.contains('\0')) return false;
    QStringDecoder decode(QStringConverter::System);
    const QString sheet = decode(bytes);
    if (decode.hasError()) return false;
    const QString folder = resourceFolder.isEmpty() ? info.absolutePath() : resourceFolder;
    // Qt's style sheet loads each picture itself, and would wait for ever on a pipe; a missing
    // picture is merely not drawn.
    const auto usable = [](const QString& picture) { return fileKind(picture) != FileKind::Other; };
    sections_ = splitSkinSections(resolveSkinUrls(sheet, folder, usable));
    loaded_ = true;
    return true;
}

QString QtSkinEngine::windowSheet() const {
    return windowSheet(isDarkPalette(QApplication::palette()));
}

QString QtSkinEngine::windowSheet(bool dark) const {
    if (!loaded_) return QString();
    QString sheet = sectionFor(sections_, kWindowSection, dark);
    if (skinControls_) sheet += sectionFor(sections_, kControlsSection, dark);
    if (popupParts_ & kToolTips) sheet += sectionFor(sections_, kToolTipsSection, dark);
    if (popupParts_ & kMenus) sheet += sectionFor(sections_, kMenusSection, dark);
    return sheet;
}

QString QtSkinEngine::messageBoxSheet() const {
    return messageBoxSheet(isDarkPalette(QApplication::palette()));
}

QString QtSkinEngine::messageBoxSheet(bool dark) const {
    if (!loaded_ || !skinMessageBoxes_) return QString();
    return sectionFor(sections_, kMessageBoxesSection, dark);
}

void QtSkinEngine::skinWindow(QWidget& window) {
    // Without a loaded skin the window keeps the look it has.
    if (!loaded_) return;
    const bool dark = isDarkPalette(QApplication::palette());
    setControlsSheet(window, windowSheet(dark));
    setApplicationSheet(messageBoxSheet(dark));
    delete window.findChild<QObject*>(QLatin1String(PaletteFollower::kName),
                                      Qt::FindDirectChildrenOnly);
    new PaletteFollower(window, *this, dark);
}
