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

QString QtSettingsStore::GetSetting(const QString& appName, const QString& section,
                                    const QString& key, const QString& defaultValue) {
    auto settings = openSettings(configFolder_, appName);
    settings->beginGroup(section);
    const QVariant value = settings->value(key);
    if (!value.isValid()) return defaultValue;
    return value.toString();
}

void QtSettingsStore::SaveSetting(const QString& appName, const QString& section,
                                  const QString& key, const QString& value) {
    auto settings = openSettings(configFolder_, appName);
    if (!settings->isWritable())
        throw Failure(
            QStringLiteral("The settings file %1 cannot be written.").arg(settings->fileName()));
    settings->beginGroup(section);
    settings->setValue(key, value);
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
