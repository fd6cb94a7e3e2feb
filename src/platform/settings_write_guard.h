#pragma once
// Keeps a settings file's old contents safe across one write of it.
//
// Qt 6.4's QSettings takes a short write for success: it checks write() only for -1, and a file
// write that runs out of room part-way returns the part it wrote. So a disk that fills up during
// the write (or a quota, or a file size limit) puts a cut-off file in place of the old one and
// reports nothing. The guard keeps the old file under a second name (a hard link, which needs no
// room) until the new one has been read back whole.

#include <QSettings>
#include <QString>

// The text a stored value holds. The store writes text as its UTF-8 bytes; a plain text value
// (written by hand) reads the same. A leading U+FEFF is part of the text: Qt's conversion of the
// bytes would drop it.
QString storedText(const QVariant& value);

class SettingsWriteGuard {
  public:
    explicit SettingsWriteGuard(const QString& path);
    ~SettingsWriteGuard();
    SettingsWriteGuard(const SettingsWriteGuard&) = delete;
    SettingsWriteGuard& operator=(const SettingsWriteGuard&) = delete;

    // Whether the file, read from disk, holds value as the text under section and key.
    bool holds(QSettings::Format format, const QString& section, const QString& key,
               const QString& value) const;
    // Whether the old file, if any, is kept safe: with no room even for a copy, it is not.
    bool keeps() const { return !existed_ || keptOk_; }
    // Puts the old file back, or takes the new one away when there was none.
    void restore();

  private:
    QString path_;
    QString kept_;
    bool existed_;
    bool keptOk_ = false;
};
