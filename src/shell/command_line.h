#pragma once
// The command line, read before the toolkit starts so that --help, --version and a misuse are
// answered without a display. Qt's own options (-platform, -display, -style ...) are left to Qt;
// every other argument is a list file to load once the main window is up.

#include <QStringList>
#include <cstdio>
#include <optional>

struct CommandLine {
    enum class Action { Start, Help, Version, Misuse };
    Action action = Action::Start;
    QStringList files;
    // For a misuse: what was wrong, as one line.
    QString problem;
    // How many of the arguments, from the first, Qt may read: none after "--".
    int toolkitArgumentCount = 0;
};

CommandLine readCommandLine(int argc, const char* const* argv);

// Prints what the command line asks for and gives the exit status; nothing for Start.
std::optional<int> answerCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err);

// Held while QApplication is made: when no display can be opened, Qt's fatal error becomes one
// line on standard error and exit status 1 instead of an abort with a core file. Qt's other
// messages meanwhile are held back and passed on once the toolkit is up.
class ToolkitStart {
  public:
    ToolkitStart();
    ~ToolkitStart();
    ToolkitStart(const ToolkitStart&) = delete;
    ToolkitStart& operator=(const ToolkitStart&) = delete;
};

inline constexpr char kProgramName[] = "quorvel-wedge-studio";
inline constexpr int kExitMisuse = 2;
inline constexpr int kExitNoDisplay = 1;
