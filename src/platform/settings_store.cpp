#include "platform/settings_store.h"

#include "platform/failure.h"
#include "platform/settings_write_guard.h"

#include <sys/resource.h>
#include <QFileInfo>
#include <QSettings>
#include <QStorageInfo>
#include <memory>

namespace {

std::unique_ptr<QSettings> openSettings(const QString& folder, const QString& appName) {
    if (folder.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, appName);
    return std::make_unique<QSettings>(folder + u'/' + appName + QStringLiteral(".conf"),
                                       QSettings::IniFormat);
}

// Why the file cannot be written, as far as the file system tells; empty when it does not.
QString whyNotWritable(const QString& path, qint64 bytesNeeded) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (file.isDir()) return QStringLiteral("a folder of that name is in its place");
    if (file.exists() && !file.isWritable()) return QStringLiteral("the file is read-only");
    if (!folder.isDir()) return QStringLiteral("its folder does not exist");
    if (!folder.isWritable()) return QStringLiteral("its folder is read-only");
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.isReadOnly())
        return QStringLiteral("its file system is read-only");
    if (storage.isValid() && storage.bytesAvailable() < bytesNeeded)
        return QStringLiteral("the disk is full");
    return QString();
}

// Reading the file back costs as much again as writing it, so it is done only where a write
// could come up short: a file size limit, or less room than many times what is written (UTF-8
// and escaping make a character at most about a dozen bytes).
bool writeCouldComeUpShort(const QString& path, qint64 charactersWritten) {
    rlimit limit = {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return true;
    const QFileInfo file(path);
    const QStorageInfo storage(file.absolutePath());
    if (!storage.isValid()) return true;
    constexpr qint64 kBytesPerCharacter = 16;
    constexpr qint64 kSlack = 1 << 20;
    return storage.bytesAvailable() < charactersWritten * kBytesPerCharacter + file.size() + kSlack;
}

Failure cannotWrite(const QSettings& settings, qint64 bytesNeeded,
                    const QString& otherwise = QString()) {
    QString why = whyNotWritable(settings.fileName(), bytesNeeded);
    if (why.isEmpty()) why = otherwise;
    if (why.isEmpty())
        return Failure(
            QStringLiteral("The settings file %1 cannot be written.").arg(settings.fileName()));
    return Failure(QStringLiteral("The settings file %1 cannot be written: %2.")
                       .arg(settings.fileName(), why));
}

}  // namespace

QtSettingsStore::QtSettingsStore() = default;
QtSettingsStore::QtSettingsStore(QString configFolder) : configFolder_(std::move(configFolder)) {}
QtSettingsStore::~QtSettingsStore() = default;

QSettings& QtSettingsStore::open(const QString& appName) {
    std::unique_ptr<QSettings>& settings = open_[appName];
    if (!settings) settings = openSettings(configFolder_, appName);
    return *settings;
}

QString QtSettingsStore::GetSetting(const QString& appName, const QString& section,
                                    const QString& key, const QString& defaultValue) {
    QSettings& settings = open(appName);
    settings.beginGroup(section);
    const QVariant value = settings.value(key);
    settings.endGroup();
    if (!value.isValid()) return defaultValue;
    // Text is written as its UTF-8 bytes; a plain text value (written by hand) reads the same.
    return value.toString();
}

void QtSettingsStore::SaveSetting(const QString& appName, const QString& section,
                                  const QString& key, const QString& value) {
    QSettings* settings = &open(appName);
    // The whole file is written again, and the value is most of it.
    const qint64 bytesNeeded = value.size() + key.size() + section.size();
    if (!settings->isWritable()) throw cannotWrite(*settings, bytesNeeded);
    SettingsWriteGuard guard(settings->fileName());
    settings->beginGroup(section);
    // As UTF-8 bytes, because QSettings escapes a byte array's characters about a third faster
    // than a string's, which is most of the close time of a long list.
    settings->setValue(key, value.toUtf8());
    settings->endGroup();
    settings->sync();
    switch (settings->status()) {
        case QSettings::NoError:
            if (writeCouldComeUpShort(settings->fileName(), bytesNeeded) &&
                !guard.holds(settings->format(), section, key, value)) {
                guard.restore();
                const Failure failure = cannotWrite(
                    *settings, bytesNeeded, QStringLiteral("it could not be written whole"));
                // What this object holds is no longer what the file holds.
                open_.erase(appName);
                throw failure;
            }
            return;
        case QSettings::AccessError:
            throw cannotWrite(*settings, bytesNeeded);
        case QSettings::FormatError:
            throw Failure(QStringLiteral("The settings file %1 is damaged and was not replaced.")
                              .arg(settings->fileName()));
    }
}
