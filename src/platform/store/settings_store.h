#pragma once
// Per-user text settings addressed by application name, section and key.

#include "platform/store/text_sink.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <set>

class QSettings;

// A stored text handed out in pieces, so that a long one is never held whole.
class StoredText {
  public:
    virtual ~StoredText() = default;
    virtual bool isEmpty() const = 0;
    // About how many characters the text has (an upper bound for the stores here).
    virtual qsizetype sizeHint() const = 0;
    // Puts the text's consecutive pieces into the sink, each valid for the call only. Throws
    // Failure when the text cannot be read whole; the pieces put then are only a part of it.
    virtual void read(TextSink& pieces) const = 0;
};

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or defaultValue when any level of the address is missing.
    virtual QString GetSetting(const QString& appName, const QString& section, const QString& key,
                               const QString& defaultValue = QString()) = 0;
    // Throws Failure when the value cannot be written; the earlier value then stays as it was.
    virtual void SaveSetting(const QString& appName, const QString& section, const QString& key,
                             const QString& value) = 0;
    // The same for a long text, without holding it whole where the store can; by default
    // through the two above. readSetting never gives null; a missing value reads as empty.
    virtual std::unique_ptr<StoredText> readSetting(const QString& appName, const QString& section,
                                                    const QString& key);
    // sizeHint: about how many characters the value has.
    virtual void saveSetting(const QString& appName, const QString& section, const QString& key,
                             const TextPieces& value, qsizetype sizeHint);
    // Where a store that could not be read was kept when it was first read; empty when none was.
    virtual QString unreadableStoreKeptAs() const { return QString(); }
    // A store that could not be read nor set aside, so it stays as it is, unwritten; or empty.
    virtual QString unreadableStoreLeftAt() const { return QString(); }
};

// Begins on a second thread the look at the user's store of appName that its first readSetting
// of key in section takes (see QtSettingsStore), so that a start does the two at once. A store
// then finds the look done, and takes it if the file is still the one looked at.
void lookAheadAtStore(const QString& appName, const QString& section, const QString& key);

// QSettings' native format on Linux (INI), in the user's file of the organization = application
// name: $XDG_CONFIG_HOME/<appName>.conf. A non-empty configFolder puts the files there instead.
// A file that holds just the one value the program stores is read and written here, in the very
// bytes QSettings would write (store_file_format.h), under QSettings' lock file, by
// replaceFileContent (file_replace.h); any other file is left to QSettings, which stays open from
// the read at start-up to the write at close, so the write need not parse the whole file again. A
// store that cannot be read (it does not parse, or it is a pipe, a device, a folder, or a link to
// one) is renamed aside at that read, unopened unless it is a regular file, and the store starts
// empty; nothing but a regular file is ever written over.
class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore();
    explicit QtSettingsStore(QString configFolder);
    ~QtSettingsStore() override;

    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;
    std::unique_ptr<StoredText> readSetting(const QString& appName, const QString& section,
                                            const QString& key) override;
    void saveSetting(const QString& appName, const QString& section, const QString& key,
                     const TextPieces& value, qsizetype sizeHint) override;
    QString unreadableStoreKeptAs() const override { return keptAs_; }
    QString unreadableStoreLeftAt() const override {
        return notReplaceable_.empty() ? QString() : *notReplaceable_.begin();
    }

    // The file as it was when this store last read or wrote it in its own shape.
    struct Seen {
        QString section;
        QString key;
        qint64 size = -1;  // -1: there was no file
        qint64 modified = 0;
        quint64 inode = 0;
    };

  private:
    QString fileName(const QString& appName) const;
    QSettings& open(const QString& appName);
    void setAsideIfUnreadable(const QString& appName);
    // The file's value when the file has the shape written here; null otherwise.
    std::unique_ptr<StoredText> readOwnShape(const QString& appName, const QString& section,
                                             const QString& key);
    bool stillOwnShape(const QString& appName, const QString& section, const QString& key) const;
    void writeOwnShape(const QString& appName, const QString& section, const QString& key,
                       const TextPieces& value, qsizetype sizeHint);
    void saveThroughQSettings(const QString& appName, const QString& section, const QString& key,
                              const QString& value);

    QString configFolder_;
    std::map<QString, std::unique_ptr<QSettings>> open_;
    std::map<QString, Seen> seen_;
    QString keptAs_;
    // Unreadable stores that could not be renamed: they stay as they are, unread and unwritten.
    std::set<QString> notReplaceable_;
};
