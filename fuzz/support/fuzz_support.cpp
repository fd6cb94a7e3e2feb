#include "fuzz_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir& home() {
    // Loaders read a file per input: a memory file system keeps the disk out of every run.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/qws-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/qws-fuzz-XXXXXX"));
    return dir;
}

}  // namespace

void startFuzzApplication() {
    // Never destroyed: at exit Qt's own statics may already be gone. Held here, it is no leak.
    static QApplication* app = nullptr;
    if (app) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", home().path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home().path() + "/config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home().path() + "/run").toLocal8Bit());
    QDir().mkpath(home().path() + "/run");
    QFile::setPermissions(home().path() + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(scratchFolder());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
}

void fuzzFailure(const char* file, int line, const char* condition, const QString& detail) {
    std::fprintf(stderr, "\n%s:%d: invariant does not hold: %s\n%s\n", file, line, condition,
                 detail.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

QString scratchFolder() { return home().path() + QStringLiteral("/scratch"); }

QString scratchFile(const QString& name, const QByteArray& bytes) {
    const QString path = scratchFolder() + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fuzzFailure(__FILE__, __LINE__, "scratch file written", path);
    return path;
}

QString printable(const QString& text) {
    QString out;
    for (QChar c : text.left(400)) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (text.size() > 400) out += QStringLiteral("... (%1 characters)").arg(text.size());
    return u'"' + out + u'"';
}
