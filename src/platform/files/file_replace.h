#pragma once
// Replacing the whole content of a file, for the settings store and the JPEG writer alike. Any
// failure leaves the old content whole, and the file keeps what it was.
//
// Through a symbolic link the file it names is replaced and the link stays. Where giving new
// content a new inode would lose something of the file (another owner, a second hard link,
// extended attributes or ACL entries that cannot be copied, a folder we may not write while the
// file is writable) the content is written in place, but only after the room for all of it has
// been reserved (only a kill during that write can leave a mix there); otherwise it is written
// beside the file under a short temporary name, synced, given the file's mode, owner and
// attributes, and renamed over it, so even a kill leaves the old content or the new. Temporary
// files of saves that were killed are removed by the next save in that folder.

#include <sys/types.h>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

enum class ReplaceFailure {
    None,
    NotARegularFile,  // the name is, or links to, a folder, pipe or device; or leads nowhere
    CannotCreate,     // neither the file nor a file beside it can be opened for writing
    CannotWrite,      // the room, a write or the sync failed: full disk, quota, size limit
    CannotReplace,    // the finished content could not take the file's name
};

struct ReplaceResult {
    ReplaceFailure failure = ReplaceFailure::None;
    // Why, in a few plain words that fit after "cannot be written: " ("the disk is full");
    // empty on success.
    QString reason;

    bool ok() const { return failure == ReplaceFailure::None; }
};

// Makes content the whole content of the file at path, creating it with newFileMode (less the
// umask) when there is none. Success only once the content and the folder entry are on disk.
ReplaceResult replaceFileContent(const QString& path, const QByteArray& content,
                                 mode_t newFileMode = 0666);

// Appends a part of the content; false once a write has failed, and the rest is not wanted.
using ContentWrite = std::function<bool(QByteArrayView part)>;
// The content made while it is written, so that it is never held whole: content hands write its
// parts in order and returns true, or false to start over, when what it wrote is dropped and it
// is called again. It is also called again when a rename is refused after the write. Where the
// file is written in place, the parts are gathered first, to reserve the room for all of them
// before the old content is touched. An exception from content leaves the file as it was and
// goes on to the caller.
using ContentParts = std::function<bool(const ContentWrite& write)>;
ReplaceResult replaceFileContent(const QString& path, const ContentParts& content,
                                 mode_t newFileMode = 0666);
