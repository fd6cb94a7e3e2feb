#pragma once
// Writing the store's file (store_file_format.h) without going through QSettings: the value's
// text is escaped piece by piece straight into one buffer, which is either the whole file or a
// part of a few megabytes handed on to be written and then used again.

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
// Whether QSettings quotes the value of this text: when it holds ';', ',' or '='.
bool storeValueNeedsQuotes(const TextPieces& text);

class StoreFileWriter : public TextSink {
  public:
    // Makes the whole file in memory for finish to return. valueSizeHint: about how many
    // characters the value will have, to size the buffer once.
    StoreFileWriter(QStringView section, QStringView key, qsizetype valueSizeHint = 0);
    // Hands the file to write as it is made, in parts of up to a few megabytes; once write has
    // returned false, nothing more. quoted must be what storeValueNeedsQuotes says of the text:
    // the quote comes before the value, and a part once handed on is not taken back.
    StoreFileWriter(QStringView section, QStringView key, bool quoted,
                    std::function<bool(QByteArrayView)> write);

    void append(QAnyStringView piece) { putAny(piece); }
    void put(QLatin1StringView text) override;
    void put(QStringView text) override;
    // The whole file when it is made in memory; otherwise the rest is handed to write and the
    // result is empty. Throws Failure when the text's need of quotes was not what quoted said:
    // the parts written then are no file to keep. The writer is spent.
    QByteArray finish();

  private:
    void putPendingHigh();
    void putSlowly(const uchar* in, qsizetype n, char*& out);
    // Room for at least n more bytes at out_.
    char* reserve(qsizetype n);
    void flush(char* out);

    std::function<bool(QByteArrayView)> write_;  // empty: the whole file in memory
    QByteArray buffer_;
    char* out_ = nullptr;
    qsizetype quotePos_ = 0;  // in memory: where a quote goes when the value needs one
    qsizetype headerSize_ = 0;
    bool needsQuotes_ = false;
    bool quoted_ = false;  // handing on: the quote is written already
    bool escapeNextIfHex_ = false;
    bool failed_ = false;       // write returned false
    char16_t pendingHigh_ = 0;  // a high surrogate at the end of the last piece
};
