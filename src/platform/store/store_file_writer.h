#pragma once
// Writing the store's file (store_file_format.h) without going through QSettings: the value's
// text is escaped piece by piece straight into one buffer, which is either the whole file or a
// part of half a megabyte handed on to be written and then used again.

#include "platform/store/text_sink.h"

#include <QAnyStringView>
#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <functional>

// QSettings' escaping of a section or key name.
QByteArray escapedSettingsKey(QStringView key);
// What the file holds before the value: "[<section>]\n<key>=".
QByteArray storeFileHead(QStringView section, QStringView key);

class StoreFileWriter : public TextSink {
  public:
    // Makes the whole file in memory for finish to return. valueSizeHint: about how many
    // characters the value will have, to size the buffer once.
    StoreFileWriter(QStringView section, QStringView key, qsizetype valueSizeHint = 0);
    // Hands the file to write as it is made, in parts of about half a megabyte; once write has
    // returned false, nothing more. quoted: whether the value is quoted, as QSettings quotes one
    // that holds ';', ',' or '='. The quote comes before the value and a part handed on is not
    // taken back, so a writer told no quotes stops at the first such character (quotesMissing);
    // the file is then to be made again with them.
    StoreFileWriter(QStringView section, QStringView key, bool quoted,
                    std::function<bool(QByteArrayView)> write);

    void append(QAnyStringView piece) { putAny(piece); }
    void put(QLatin1StringView text) override;
    void put(QStringView text) override;
    // The whole file when it is made in memory; otherwise the rest is handed to write and the
    // result is empty. Throws Failure when the value was quoted but held nothing that needs it
    // (the text changed since it was first read). The writer is spent.
    QByteArray finish();
    // Handing on, told no quotes: the text needs them, and what was handed on is no file.
    bool quotesMissing() const { return needsQuotes_ && !quoted_ && write_; }

  private:
    void putPendingHigh();
    void putSlowly(const uchar* in, qsizetype n, char*& out);
    // Room for at least n more bytes at out_.
    char* reserve(qsizetype n) { return end_ - out_ >= n ? out_ : makeRoom(n); }
    char* makeRoom(qsizetype n);
    void flush(char* out);

    std::function<bool(QByteArrayView)> write_;  // empty: the whole file in memory
    QByteArray buffer_;
    char* out_ = nullptr;
    char* end_ = nullptr;     // of the buffer
    qsizetype quotePos_ = 0;  // in memory: where a quote goes when the value needs one
    qsizetype headerSize_ = 0;
    bool needsQuotes_ = false;
    bool quoted_ = false;  // handing on: the quote is written already
    bool escapeNextIfHex_ = false;
    bool failed_ = false;       // write returned false
    char16_t pendingHigh_ = 0;  // a high surrogate at the end of the last piece
};
