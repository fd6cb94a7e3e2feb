#pragma once
// Per-user text settings addressed by application name, section and key.

#include <QString>
#include <map>
#include <memory>
#include <set>

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
    // Where a store that could not be read was kept when it was first read; empty when none was.
    virtual QString unreadableStoreKeptAs() const { return QString(); }
    // A store that could not be read nor set aside, so it stays as it is, unwritten; or empty.
    virtual QString unreadableStoreLeftAt() const { return QString(); }
};

// QSettings' native format on Linux (INI), in the user's file of the organization = application
// name: $XDG_CONFIG_HOME/<appName>.conf. A non-empty configFolder puts the files there instead.
// The store stays open from the read at start-up to the write at close, so the write need not
// parse the whole file again. A store that cannot be read (it does not parse, or it is a pipe,
// a device, a folder, or a link to one) is renamed aside at that read, unopened unless it is a
// regular file, and the store starts empty; nothing but a regular file is ever written over.
class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore();
    explicit QtSettingsStore(QString configFolder);
    ~QtSettingsStore() override;

    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;
    QString unreadableStoreKeptAs() const override { return keptAs_; }
    QString unreadableStoreLeftAt() const override {
        return notReplaceable_.empty() ? QString() : *notReplaceable_.begin();
    }

  private:
    QString fileName(const QString& appName) const;
    QSettings& open(const QString& appName);
    void setAsideIfUnreadable(const QString& appName);

    QString configFolder_;
    std::map<QString, std::unique_ptr<QSettings>> open_;
    QString keptAs_;
    // Unreadable stores that could not be renamed: they stay as they are, unread and unwritten.
    std::set<QString> notReplaceable_;
};
