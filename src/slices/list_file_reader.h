#pragma once
// One list file open for one sequential read. Only a regular file is read: a folder, a named
// pipe, a socket or a device is refused with a description, and nothing here ever waits on one.
// The bytes are streamed in chunks, decoded in the system's 8-bit encoding (invalid bytes become
// the replacement character, a byte-order mark stays as text), and split into lines at CR LF, CR
// and LF. The file is closed when the reader goes, also when a failure leaves readLines.

#include <QFile>
#include <QString>
#include <functional>

class ListFileReader {
  public:
    static constexpr qsizetype kDefaultChunkBytes = 1 << 16;
    // A line becomes one row, held whole; a longer one is refused rather than let it take the
    // machine's memory. Reading a line this long takes about four bytes a character at most.
    static constexpr qsizetype kMaxLineLength = qsizetype(1) << 29;

    // Throws Failure when the path cannot be opened or is not a regular file.
    explicit ListFileReader(const QString& path, qsizetype chunkBytes = kDefaultChunkBytes,
                            qsizetype maxLineLength = kMaxLineLength);
    ListFileReader(const ListFileReader&) = delete;
    ListFileReader& operator=(const ListFileReader&) = delete;

    // Calls onLine with every line in file order; the view lasts only for the call. Reads no
    // further than the size the file had when it was opened, so a file that keeps growing cannot
    // keep the load going; one that shrinks ends where it now ends. Throws Failure when reading
    // fails or a line is longer than the bound, after the lines before it.
    void readLines(const std::function<void(QStringView line)>& onLine);

    // The file's size when it was opened; -1 when it gave none.
    qint64 sizeAtOpen() const { return sizeAtOpen_; }

  private:
    QString path_;
    qsizetype chunkBytes_;
    qsizetype maxLineLength_;
    qint64 sizeAtOpen_ = -1;  // -1: the file gave no size (as files of /proc do); read to the end
    QFile file_;
};

// Where a chunk of bytes can be cut so that both parts decode on their own: no character is
// split. The bytes from the cut on wait for the next chunk.
qsizetype characterBoundary(QByteArrayView bytes);
