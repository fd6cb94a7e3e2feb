#pragma once
// Per-user text settings addressed by application name, section and key.

#include <QString>

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or defaultValue when any level of the address is missing.
    virtual QString GetSetting(const QString& appName, const QString& section, const QString& key,
                               const QString& defaultValue = QString()) = 0;
    // Throws Failure when the value cannot be written; the earlier value then stays as it was.
    virtual void SaveSetting(const QString& appName, const QString& section, const QString& key,
                             const QString& value) = 0;
};

// QSettings in the native format, user scope, organization = application name (on Linux
// $XDG_CONFIG_HOME/<appName>.conf). A non-empty configFolder puts the files there instead.
class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore() = default;
    explicit QtSettingsStore(QString configFolder) : configFolder_(std::move(configFolder)) {}

    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;

  private:
    QString configFolder_;
};
