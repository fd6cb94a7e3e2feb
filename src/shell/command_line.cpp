#include "shell/command_line.h"

#include "runtime/titles.h"

#include <QFile>
#include <QList>
#include <QtGlobal>
#include <cstdlib>

namespace {

// Qt's own options in Qt 6.4, as QGuiApplication, QApplication and the xcb plugin read them;
// Qt takes each with one dash or two.
const QList<QByteArray> kToolkitOptionsWithValue = {"platform",
                                                    "platformpluginpath",
                                                    "platformtheme",
                                                    "plugin",
                                                    "qwindowgeometry",
                                                    "geometry",
                                                    "qwindowtitle",
                                                    "title",
                                                    "qwindowicon",
                                                    "icon",
                                                    "session",
                                                    "style",
                                                    "stylesheet",
                                                    "display",
                                                    "name"};
const QList<QByteArray> kToolkitFlags = {"reverse", "widgetcount", "testability",
                                         "nograb",  "dograb",      "sync"};
const QList<QByteArray> kToolkitOptionsWithEqualsValue = {"style", "stylesheet", "session",
                                                          "qmljsdebugger"};

const char kUsage[] =
    "Usage: %1 [OPTION]... [FILE]...\n"
    "Draw a pie chart with a legend from a list of named numbers.\n"
    "Each FILE is a list file of name,value lines, loaded into the list once the window is\n"
    "open, in the order given.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the name and version and exit\n"
    "\n"
    "Qt's own options, such as -platform, -display and -style, are read by the toolkit.\n";

QByteArray optionName(const QByteArray& argument) {
    QByteArray name = argument.mid(argument.startsWith("--") ? 2 : 1);
    const qsizetype equals = name.indexOf('=');
    return equals < 0 ? name : name.left(equals);
}

void print(std::FILE* to, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

}  // namespace

CommandLine readCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    line.toolkitArgumentCount = argc;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (!options || argument == "-" || !argument.startsWith('-')) {
            line.files.append(QFile::decodeName(argument));
            continue;
        }
        if (argument == "--") {
            options = false;
            line.toolkitArgumentCount = i;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (argument == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        const QByteArray name = optionName(argument);
        const bool joinedValue = argument.contains('=');
        if (joinedValue ? kToolkitOptionsWithEqualsValue.contains(name)
                        : kToolkitFlags.contains(name))
            continue;
        if (!joinedValue && kToolkitOptionsWithValue.contains(name)) {
            if (i + 1 < argc) {
                ++i;
                continue;
            }
            line.action = CommandLine::Action::Misuse;
            line.problem = QStringLiteral("option '%1' requires an argument")
                               .arg(QString::fromLocal8Bit(argument));
            return line;
        }
        line.action = CommandLine::Action::Misuse;
        line.problem =
            QStringLiteral("unrecognized option '%1'").arg(QString::fromLocal8Bit(argument));
        return line;
    }
    return line;
}

std::optional<int> answerCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err) {
    const QString usage = QString::fromLatin1(kUsage).arg(QLatin1String(kProgramName));
    switch (line.action) {
        case CommandLine::Action::Start:
            return std::nullopt;
        case CommandLine::Action::Help:
            print(out, usage);
            return EXIT_SUCCESS;
        case CommandLine::Action::Version:
            print(out, QStringLiteral("%1 (%2) %3\n")
                           .arg(QLatin1String(kProgramName), productTitle(),
                                QLatin1String(QWS_VERSION)));
            return EXIT_SUCCESS;
        case CommandLine::Action::Misuse:
            print(err, QLatin1String(kProgramName) + QStringLiteral(": ") + line.problem + u'\n' +
                           usage);
            return kExitMisuse;
    }
    return std::nullopt;
}

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler previousHandler = nullptr;
QList<HeldMessage>* heldMessages = nullptr;

// Qt ends with a fatal message when no platform plugin could start, which is how a missing or
// unreachable display shows on X11 and Wayland alike.
void holdOrExit(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "%s: cannot open a display: no window system could be reached "
                     "(is DISPLAY or WAYLAND_DISPLAY set?)\n",
                     kProgramName);
        std::fflush(stderr);
        std::_Exit(kExitNoDisplay);
    }
    heldMessages->append({type, QByteArray(context.category), text});
}

}  // namespace

ToolkitStart::ToolkitStart() {
    heldMessages = new QList<HeldMessage>;
    previousHandler = qInstallMessageHandler(holdOrExit);
}

ToolkitStart::~ToolkitStart() {
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& message : *heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        if (previousHandler) previousHandler(message.type, context, message.text);
    }
    delete heldMessages;
    heldMessages = nullptr;
}
