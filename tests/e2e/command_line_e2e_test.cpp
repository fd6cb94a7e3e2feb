// The command line of the real executable without a display: help, version and misuse are
// answered before any window system is needed, and a missing display ends cleanly.
#include "e2e_support.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QRegularExpression>

namespace {

struct Case {
    const char* name;
    QStringList arguments;
    QStringList environment;  // on top of one without any display
    int exitCode;
    const char* standardOutput;  // a regular expression; empty means nothing
    const char* standardError;
};

TEST(CommandLine, AnswersWithoutADisplayAndEndsCleanlyWhenNoneCanBeReached) {
    const Case cases[] = {
        {"help",
         {"--help"},
         {},
         0,
         "^Usage: quorvel-wedge-studio \\[OPTION\\]\\.\\.\\. \\[FILE\\]",
         ""},
        {"short help after a Qt option", {"-style", "Fusion", "-h"}, {}, 0, "^Usage: ", ""},
        {"version",
         {"--version"},
         {},
         0,
         "^quorvel-wedge-studio \\(Quorvel Wedge Studio Deluxe\\) \\d+\\.\\d+\n$",
         ""},
        {"unknown option",
         {"--frobnicate", "--help"},
         {},
         2,
         "",
         "^quorvel-wedge-studio: unrecognized option '--frobnicate'\nUsage: "},
        {"Qt option without its value",
         {"-platform"},
         {},
         2,
         "",
         "^quorvel-wedge-studio: option '-platform' requires an argument\n"},
        {"after --, an option is a file name",
         {"--", "--help"},
         {},
         1,
         "",
         "cannot open a display"},
        {"no display at all",
         {"list.txt"},
         {},
         1,
         "",
         "^quorvel-wedge-studio: cannot open a display[^\n]*\n$"},
        {"an X display that is not there",
         {},
         {"DISPLAY=:987"},
         1,
         "",
         "^quorvel-wedge-studio: cannot open a display[^\n]*\n$"},
        {"a Wayland display that is not there",
         {},
         {"WAYLAND_DISPLAY=gone-0", "QT_QPA_PLATFORM=wayland", "XDG_RUNTIME_DIR=/tmp"},
         1,
         "",
         "^quorvel-wedge-studio: cannot open a display[^\n]*\n$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess run;
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        for (const QString& setting : c.environment)
            env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        run.setProcessEnvironment(env);
        run.start(programPath(), c.arguments);
        ASSERT_TRUE(run.waitForFinished(30000));
        // Ended by its own exit, not by abort(): no core file, no 134.
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), c.exitCode);
        const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        for (const auto& [seen, wanted] :
             {std::pair(out, c.standardOutput), std::pair(err, c.standardError)}) {
            if (*wanted == 0)
                EXPECT_EQ(seen.toStdString(), "");
            else
                EXPECT_TRUE(QRegularExpression(QLatin1String(wanted)).match(seen).hasMatch())
                    << seen.toStdString();
        }
    }
}

}  // namespace
