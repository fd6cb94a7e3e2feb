// The command line of the real executable without a display: help, version and misuse are
// answered before any window system is needed, and a missing display ends cleanly.
#include "e2e_support.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QRegularExpression>

namespace {

// A row per command line, written as a shell would take it: settings first (on top of an
// environment with no display), then the arguments.
struct Case {
    const char* line;
    int exitCode;
    const char* standardOutput;  // a regular expression; empty means nothing
    const char* standardError;
};

const char kUsage[] = "Usage: quorvel-wedge-studio \\[OPTION\\]\\.\\.\\. \\[FILE\\]";
const char kNoDisplay[] = "^quorvel-wedge-studio: cannot open a display[^\n]*\n$";

TEST(CommandLine, AnswersWithoutADisplayAndEndsCleanlyWhenNoneCanBeReached) {
    const Case cases[] = {
        {"--help", 0, kUsage, ""},
        {"-style Fusion -h", 0, kUsage, ""},
        {"--version", 0, "^quorvel-wedge-studio \\(Quorvel Wedge Studio Deluxe\\) \\d+\\.\\d+\n$",
         ""},
        {"--frobnicate --help", 2, "",
         "^quorvel-wedge-studio: unrecognized option '--frobnicate'\n"},
        {"-platform", 2, "", "^quorvel-wedge-studio: option '-platform' requires an argument\n"},
        {"-- --help", 1, "", kNoDisplay},
        {"list.txt", 1, "", kNoDisplay},
        {"DISPLAY=:987", 1, "", kNoDisplay},
        {"WAYLAND_DISPLAY=gone-0 QT_QPA_PLATFORM=wayland XDG_RUNTIME_DIR=/tmp", 1, "", kNoDisplay},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        QStringList arguments = QString::fromLatin1(c.line).split(u' ', Qt::SkipEmptyParts);
        while (!arguments.isEmpty() && arguments.first().contains(u'=')) {
            const QString setting = arguments.takeFirst();
            env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        }
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(programPath(), arguments);
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
