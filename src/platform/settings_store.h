#pragma once
// Per-user text settings addressed by application name, section and key.

#include <QString>
#include <map>
#include <memory>

class QSettings;

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
// The store stays open from the read at start-up to the write at close, so the write need not
// parse the whole file again.
class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore();
    explicit QtSettingsStore(QString configFolder);
    ~QtSettingsStore() override;

    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;

  private:
    QSettings& open(const QString& appName);

    QString configFolder_;
    std::map<QString, std::unique_ptr<QSettings>> open_;
};
