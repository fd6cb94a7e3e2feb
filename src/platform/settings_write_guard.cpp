#include "platform/settings_write_guard.h"

#include <signal.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QVariant>
#include <cerrno>

namespace {

// Side files carry the writer's process id: another program instance's are its own business
// while it runs, and leftovers once it has gone.
const QString kKept = QStringLiteral(".previous-");
const QString kCheck = QStringLiteral(".check-");

QString sideFile(const QString& path, const QString& kind, const QString& suffix = QString()) {
    return path + kind + QString::number(QCoreApplication::applicationPid()) + suffix;
}

bool processGone(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

void removeLeftovers(const QString& path) {
    const QFileInfo file(path);
    QDir folder = file.absoluteDir();
    for (const QString& kind : {kKept, kCheck}) {
        const QString prefix = file.fileName() + kind;
        for (const QString& name : folder.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden)) {
            bool ok = false;
            const qint64 pid = name.mid(prefix.size()).section(u'-', 0, 0).toLongLong(&ok);
            if (ok && processGone(pid)) folder.remove(name);
        }
    }
}

bool hardLink(const QString& from, const QString& to) {
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace

QString storedText(const QVariant& value) {
    if (value.typeId() != QMetaType::QByteArray) return value.toString();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return utf8(value.toByteArray());
}

SettingsWriteGuard::SettingsWriteGuard(const QString& path)
    : path_(path), kept_(sideFile(path, kKept)), existed_(QFileInfo(path).isFile()) {
    removeLeftovers(path_);
    QFile::remove(kept_);
    if (existed_) keptOk_ = hardLink(path_, kept_) || QFile::copy(path_, kept_);
}

SettingsWriteGuard::~SettingsWriteGuard() {
    if (keptOk_) QFile::remove(kept_);
}

bool SettingsWriteGuard::holds(QSettings::Format format, const QString& section, const QString& key,
                               const QString& value) const {
    // Another QSettings on the same path shares the writer's cached contents instead of reading
    // the file, so the file is read under a name of its own.
    static int checks = 0;
    const QString check = sideFile(path_, kCheck, QStringLiteral("-%1").arg(++checks));
    if (!hardLink(path_, check) && !QFile::copy(path_, check)) return false;
    bool whole = false;
    {
        QSettings written(check, format);
        written.beginGroup(section);
        const QVariant stored = written.value(key);
        // The store writes text as its UTF-8 bytes; both forms read back as the text.
        const bool text =
            stored.typeId() == QMetaType::QString || stored.typeId() == QMetaType::QByteArray;
        whole = written.status() == QSettings::NoError && text && storedText(stored) == value;
    }
    QFile::remove(check);
    return whole;
}

void SettingsWriteGuard::restore() {
    if (keptOk_) {
        keptOk_ = ::rename(QFile::encodeName(kept_).constData(),
                           QFile::encodeName(path_).constData()) != 0;
    } else if (!existed_) {
        QFile::remove(path_);
    }
}
