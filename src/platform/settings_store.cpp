#include "platform/settings_store.h"

#include "platform/failure.h"

#include <QFileInfo>
#include <QSettings>
#include <memory>

namespace {

std::unique_ptr<QSettings> openSettings(const QString& folder, const QString& appName) {
    if (folder.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, appName);
    return std::make_unique<QSettings>(folder + u'/' + appName + QStringLiteral(".conf"),
                                       QSettings::IniFormat);
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
    if (!settings->isWritable())
        throw Failure(
            QStringLiteral("The settings file %1 cannot be written.").arg(settings->fileName()));
    settings->beginGroup(section);
    // As UTF-8 bytes, because QSettings escapes a byte array's characters about a third faster
    // than a string's, which is most of the close time of a long list.
    settings->setValue(key, value.toUtf8());
    settings->endGroup();
    settings->sync();
    switch (settings->status()) {
        case QSettings::NoError:
            return;
        case QSettings::AccessError:
            throw Failure(QStringLiteral("The settings file %1 cannot be written.")
                              .arg(settings->fileName()));
        case QSettings::FormatError:
            throw Failure(QStringLiteral("The settings file %1 is damaged and was not replaced.")
                              .arg(settings->fileName()));
    }
}
