#include "slices/list_file_reader.h"

#include "platform/failure.h"
#include "platform/files/file_kind.h"

#include <QDir>
#include <QLocale>
#include <QStringDecoder>

namespace {

QString notAListFile(const QString& nativePath, const QString& kind) {
    return QStringLiteral("%1 cannot be read as a list file: it is %2.").arg(nativePath, kind);
}

// Splits decoded text into lines at CR LF, CR and LF, across chunk ends; a line that spans
// chunks is gathered in pending_, one that does not is passed straight from the chunk. A line
// longer than the bound is refused before it is gathered whole.
class LineSplitter {
  public:
    LineSplitter(const std::function<void(QStringView)>& onLine, const QString& path,
                 qsizetype maxLineLength)
        : onLine_(onLine), path_(path), maxLineLength_(maxLineLength) {}

    void feed(QStringView text) {
        qsizetype start = 0;
        if (afterCr_ && !text.isEmpty()) {
            if (text[0] == u'\n') start = 1;
            afterCr_ = false;
        }
        const QChar* data = text.data();
        const qsizetype size = text.size();
        for (qsizetype i = start; i < size; ++i) {
            const char16_t c = data[i].unicode();
            if (c > u'\r' || (c != u'\n' && c != u'\r')) continue;
            emit(text.mid(start, i - start));
            if (c == u'\r') {
                if (i + 1 < size) {
                    if (data[i + 1] == u'\n') ++i;
                } else {
                    afterCr_ = true;
                }
            }
            start = i + 1;
        }
        if (start < size) {
            gather(text.mid(start));
            hasPending_ = true;
        }
    }

    // The last line needs no line end.
    void finish() {
        if (hasPending_) emit(QStringView());
    }

  private:
    void gather(QStringView part) {
        if (part.size() > maxLineLength_ - pending_.size())
            throw Failure(
                QStringLiteral("%1 cannot be read as a list file: line %2 is longer than %3 "
                               "characters, too long to hold as a row.")
                    .arg(QDir::toNativeSeparators(path_))
                    .arg(lineNumber_ + 1)
                    .arg(QLocale::c().toString(maxLineLength_)));
        pending_.append(part);
    }

    void emit(QStringView tail) {
        if (!hasPending_) {
            if (tail.size() > maxLineLength_) gather(tail);  // only with a bound below a chunk
            ++lineNumber_;
            onLine_(tail);
            return;
        }
        gather(tail);
        hasPending_ = false;
        ++lineNumber_;
        onLine_(pending_);
        // The buffer is kept for the next line that spans chunks, unless it grew large.
        constexpr qsizetype kKeptCharacters = 1 << 20;
        if (pending_.capacity() > kKeptCharacters)
            pending_ = QString();
        else
            pending_.clear();
    }

    const std::function<void(QStringView)>& onLine_;
    const QString& path_;
    qsizetype maxLineLength_;
    qint64 lineNumber_ = 0;  // of the lines passed on so far
    QString pending_;
    bool hasPending_ = false;
    bool afterCr_ = false;
};

}  // namespace

qsizetype characterBoundary(QByteArrayView bytes) {
#ifdef Q_OS_WIN
    // A byte below 0x40 is a character of its own in every ANSI code page, double-byte ones
    // included (their trail bytes start at 0x40).
    for (qsizetype i = bytes.size(); i > 0; --i)
        if (uchar(bytes[i - 1]) < 0x40) return i;
    return 0;
#else
    // The system encoding is UTF-8: cut before a lead byte whose sequence is not complete yet.
    const qsizetype size = bytes.size();
    qsizetype i = size;
    int continuation = 0;
    while (i > 0 && continuation < 4 && (uchar(bytes[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++continuation;
    }
    if (i == 0) return size;
    const uchar lead = uchar(bytes[i - 1]);
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return continuation + 1 >= length ? size : i - 1;
#endif
}

ListFileReader::ListFileReader(const QString& path, qsizetype chunkBytes, qsizetype maxLineLength)
    : path_(path), chunkBytes_(qMax<qsizetype>(chunkBytes, 16)), maxLineLength_(maxLineLength) {
    openRegularFile(file_, path, QIODevice::ReadOnly | QIODevice::Unbuffered, notAListFile);
    if (file_.size() > 0) sizeAtOpen_ = file_.size();
}

void ListFileReader::readLines(const std::function<void(QStringView line)>& onLine) {
    // Each chunk is decoded on its own, cut where no character is split: Qt 6.4's stateful UTF-8
    // decoder loses the byte that follows a bad sequence cut at a call boundary, which could
    // join two lines.
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless |
                                                         QStringConverter::Flag::ConvertInitialBom);
    LineSplitter lines(onLine, path_, maxLineLength_);
    QByteArray bytes;  // a character cut off at the last chunk's end, then the new chunk
    QString text;
    auto decode = [&](QByteArrayView part) {
        text.resize(decoder.requiredSpace(part.size()));
        const QChar* end = decoder.appendToBuffer(text.data(), part);
        text.resize(end - text.constData());
        lines.feed(text);
    };
    qint64 left = sizeAtOpen_;
    while (left != 0) {
        const qsizetype want = left < 0 ? chunkBytes_ : qsizetype(qMin<qint64>(left, chunkBytes_));
        const qsizetype kept = bytes.size();
        bytes.resize(kept + want);
        const qint64 got = file_.read(bytes.data() + kept, want);
        if (got < 0)
            throw Failure(QStringLiteral("Cannot read %1: %2")
                              .arg(QDir::toNativeSeparators(path_), file_.errorString()));
        bytes.resize(kept + qsizetype(got));
        if (got == 0) break;
        if (left > 0) left -= got;
        const qsizetype cut = characterBoundary(bytes);
        decode(QByteArrayView(bytes.constData(), cut));
        bytes.remove(0, cut);
    }
    decode(bytes);
    lines.finish();
}
