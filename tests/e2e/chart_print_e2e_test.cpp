// Printing from the real chart window through CUPS: the test runs a cupsd of its own (its own
// folders and socket, nothing of the machine's print setup is touched) with a PDF printer as the
// default, and reads the page that printer-driver-cups-pdf writes.
#include "chart_windows.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>
#include <cstdlib>
#include <optional>

extern char** environ;

using namespace chart_e2e;

namespace {

const QString kPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
// A job owner that no account has, so cups-pdf files the page as anonymous, away from any home.
const QString kJobUser = QStringLiteral("qws-e2e-print");

void writeFile(const QString& path, const QString& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) QTextStream(&file) << text;
}

// Where cups-pdf puts the pages of unknown users.
QString anonymousFolder() {
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    QString folder = QStringLiteral("/var/spool/cups-pdf/ANONYMOUS");
    if (conf.open(QIODevice::ReadOnly)) {
        static const QRegularExpression setting(QStringLiteral("^\\s*AnonDirName\\s+(\\S+)"));
        for (const QByteArray& line : conf.readAll().split('\n')) {
            const QRegularExpressionMatch m = setting.match(QString::fromLocal8Bit(line));
            if (m.hasMatch()) folder = m.captured(1);
        }
    }
    return folder;
}

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QString& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.toLocal8Bit().constData(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class PrivateCups {
  public:
    PrivateCups() { failure_ = start(); }

    ~PrivateCups() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(50ms);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

    bool ok() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }
    QString socket() const { return path("cups.sock"); }
    int jobId() const { return jobId_; }

    bool jobCompleted(std::chrono::milliseconds timeout) {
        const QString job = QStringLiteral("PDF-%1").arg(jobId_);
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (runTool(QString(), {"lpstat", "-h", socket(), "-W", "completed", "-o"})
                    .contains(job))
                return true;
            std::this_thread::sleep_for(200ms);
        }
        return false;
    }
    QString readLog() const {
        QFile log(path("log/stdout"));
        QFile errors(path("log/error_log"));
        QString text;
        if (log.open(QIODevice::ReadOnly)) text += QString::fromLocal8Bit(log.readAll());
        if (errors.open(QIODevice::ReadOnly)) text += QString::fromLocal8Bit(errors.readAll());
        return text.right(2000);
    }

  private:
    QString path(const QString& name) const { return dir_.filePath(name); }
    bool alive() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    // Empty when the server runs with the PDF printer as its default; else why not.
    std::string start() {
        const QString cupsd = QStandardPaths::findExecutable("cupsd", {"/usr/sbin", "/sbin"});
        if (cupsd.isEmpty()) return "cupsd is not installed";
        if (!QFile::exists(kPpd)) return "printer-driver-cups-pdf is not installed";
        if (!dir_.isValid()) return "no temporary folder";
        // Filters run as the lp user, who must reach the spool and the temporary files.
        ::chmod(dir_.path().toLocal8Bit().constData(), 0755);
        for (const char* sub : {"root", "spool", "tmp", "cache", "state", "log"})
            QDir(dir_.path()).mkdir(sub);
        ::chmod(path("tmp").toLocal8Bit().constData(), 01777);
        writeFile(path("cupsd.conf"),
                  QStringLiteral("Listen %1\n"
                                 "LogLevel warn\n"
                                 "WebInterface No\n"
                                 "Browsing No\n"
                                 "DefaultAuthType None\n"
                                 "<Location />\n  Order allow,deny\n  Allow all\n"
                                 "</Location>\n"
                                 "<Policy default>\n  <Limit All>\n"
                                 "    Order deny,allow\n  </Limit>\n</Policy>\n")
                      .arg(socket()));
        writeFile(path("cups-files.conf"),
                  QStringLiteral("ServerRoot %1\nRequestRoot %2\nTempDir %3\nCacheDir %4\n"
                                 "StateDir %5\nAccessLog %6\nErrorLog %7\nPageLog %8\n"
                                 "Printcap %9\n")
                      .arg(path("root"), path("spool"), path("tmp"), path("cache"), path("state"),
                           path("log/access_log"), path("log/error_log"), path("log/page_log"),
                           path("printcap")));
        // A job number of our own, so our page cannot be taken for another run's.
        jobId_ = 10000 + int(QRandomGenerator::global()->bounded(890000));
        writeFile(path("cache/job.cache"), QStringLiteral("NextJobId %1\n").arg(jobId_));

        const std::string program = cupsd.toStdString();
        const std::string conf = path("cupsd.conf").toStdString();
        const std::string files = path("cups-files.conf").toStdString();
        const char* argv[] = {program.c_str(), "-f",   "-c", conf.c_str(), "-s",
                              files.c_str(),   nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = path("log/stdout").toStdString();
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr,
                                        const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            return "cupsd could not be started";
        }
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (!QFile::exists(socket()) && std::chrono::steady_clock::now() < end && alive())
            std::this_thread::sleep_for(50ms);
        if (!QFile::exists(socket())) return "cupsd did not start: " + readLog().toStdString();

        int code = -1;
        runTool(QString(),
                {"lpadmin", "-h", socket(), "-p", "PDF", "-E", "-v", "cups-pdf:/", "-P", kPpd},
                &code);
        if (code != 0) return "lpadmin could not add the PDF printer";
        runTool(QString(), {"lpadmin", "-h", socket(), "-d", "PDF"}, &code);
        if (code != 0) return "lpadmin could not make the PDF printer the default";
        return {};
    }

    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/qws-cups-XXXXXX")};
    pid_t pid_ = -1;
    int jobId_ = 0;
    std::string failure_;
};

int pdfPages(const QString& path) {
    const QString info = runTool(QString(), {"pdfinfo", path});
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = pages.match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

}  // namespace

TEST(ChartPrintEndToEnd, PrintsOnePageOnTheDefaultCupsPrinter) {
    PrivateCups cups;
    if (!cups.ok()) GTEST_SKIP() << cups.failure();
    XvfbServer x;
    if (x.display().isEmpty()) GTEST_SKIP() << "Xvfb could not start";
    // The program finds our cupsd, and its job has an owner no account has.
    ScopedEnv server("CUPS_SERVER", cups.socket());
    ScopedEnv user("CUPS_USER", kJobUser);

    ProgramRun run(x);
    const ChartWindows w = openChartOfSamples(run);
    ASSERT_NE(w.chart, 0u) << "no chart window appeared";
    run.click(w.chart, kPrintX, kPrintY);
    ASSERT_TRUE(cups.jobCompleted(45s)) << cups.readLog().toStdString();

    const QString folder = anonymousFolder();
    const QString name = QStringLiteral("*-job_%1.pdf").arg(cups.jobId());
    QStringList pages;
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (pages.isEmpty() && std::chrono::steady_clock::now() < end) {
        pages = QDir(folder).entryList({name}, QDir::Files);
        if (pages.isEmpty()) std::this_thread::sleep_for(200ms);
    }
    ASSERT_EQ(pages.size(), 1) << "no page from cups-pdf in " << folder.toStdString() << "\n"
                               << cups.readLog().toStdString();
    const QString pdf = folder + u'/' + pages.first();
    EXPECT_EQ(pdfPages(pdf), 1);
    // cups-pdf names the page after the job, which carries the product title.
    EXPECT_TRUE(pages.first().startsWith(QStringLiteral("Quorvel_Wedge_Studio_Deluxe")))
        << pages.first().toStdString();
    // Vectors and text: pdfimages lists only its two header lines, and each legend entry is a
    // line of text. cups-pdf takes PostScript, and on the way through it the fonts lose their
    // map to Unicode, so the words themselves are checked on Qt's own PDF in the unit tests.
    const QStringList images = runTool(QString(), {"pdfimages", "-list", pdf}).split(u'\n');
    EXPECT_EQ(images.filter(QRegularExpression(QStringLiteral("\\S"))).size(), 2)
        << images.join(u'\n').toStdString();
    const QStringList fonts = runTool(QString(), {"pdffonts", pdf}).split(u'\n');
    EXPECT_GT(fonts.filter(QRegularExpression(QStringLiteral("\\S"))).size(), 2);
    const QStringList lines = runTool(QString(), {"pdftotext", pdf, "-"}).split(u'\n');
    EXPECT_GE(lines.filter(QRegularExpression(QStringLiteral("\\S"))).size(), 5);
    QFile::remove(pdf);

    // No error report came up.
    EXPECT_EQ(programWindows(run), (std::set<unsigned long>{w.main, w.chart}));
    run.closeBox(w.chart);
    EXPECT_TRUE(waitUntilGone(run, w.chart));
    EXPECT_EQ(run.signalAndWait(SIGTERM), 0);
}
