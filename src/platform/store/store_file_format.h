#pragma once
// The settings file as Qt 6.4's QSettings writes it (INI format) for one section that holds one
// text value, byte for byte, written and read without going through QSettings: a long value
// costs QSettings several full-size copies and a character-at-a-time escaping loop.
//
// The value is stored the way QSettings stores a byte array of its UTF-8:
//   [<section, %-escaped>]\n<key>=@ByteArray(<escaped bytes>)\n
// quoted as a whole when it holds ';', ',' or '='. A file in any other shape (more keys, comments,
// other line ends, a value in a form such as a string list) is left to QSettings itself, which
// alone can say what it means.

#include <QAnyStringView>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

// QSettings' escaping of a section or key name.
QByteArray escapedSettingsKey(QStringView key);

// Builds the whole file from the value's text given piece by piece, each piece straight into the
// one output buffer.
class StoreFileWriter {
  public:
    // valueSizeHint: about how many characters the value will have, to size the buffer once.
    StoreFileWriter(QStringView section, QStringView key, qsizetype valueSizeHint = 0);
    void append(QAnyStringView piece);
    // The file's bytes; the writer is spent.
    QByteArray finish();

  private:
    void appendUtf16(QStringView text);
    void appendLatin1(QLatin1StringView text);
    void appendUtf8(QByteArrayView bytes);
    // Room for at least n more bytes at out_.
    char* reserve(qsizetype n);

    QByteArray buffer_;
    char* out_ = nullptr;
    qsizetype quotePos_ = 0;  // where a quote goes when the value needs one
    qsizetype headerSize_ = 0;
    bool needsQuotes_ = false;
    bool escapeNextIfHex_ = false;
    char16_t pendingHigh_ = 0;  // a high surrogate at the end of the last piece
};

// A value found in a file of the writer's shape, read back as QSettings reads it.
class StoredValue {
  public:
    // The value of key in section when the file holds that one key in that one section in a form
    // decoded here; nothing otherwise (also for a missing or empty file).
    static std::optional<StoredValue> find(QByteArrayView file, QStringView section,
                                           QStringView key);

    bool isEmpty() const { return empty_; }
    // Hands out the text in consecutive pieces, each valid for the call only.
    void decode(const std::function<void(QStringView)>& piece) const;

  private:
    enum class Form { Bytes, Text };
    QByteArrayView raw_;
    Form form_ = Form::Text;
    qsizetype count_ = 0;  // characters and bytes, as the reading counts them
    qsizetype skip_ = 0;   // characters before the text (a prefix such as "@ByteArray(")
    bool dropLast_ = false;
    bool empty_ = true;
};
