#pragma once
// Reading the store's file (store_file_format.h) without going through QSettings, a part of a
// megabyte at a time: once to see that the file has the writer's shape and what its value is,
// and once more to hand out the value's text.

#include "platform/store/text_sink.h"

#include <QByteArrayView>
#include <QStringView>
#include <functional>
#include <optional>

// Reads up to size bytes of the file from offset on into to: how many, fewer only at its end;
// -1 when the reading failed.
using StoreFileBytes = std::function<qsizetype(qint64 offset, char* to, qsizetype size)>;

// A value found in a file of the writer's shape, read back as QSettings reads it.
class StoredValue {
  public:
    // The value of key in section when the file holds that one key in that one section in a form
    // decoded here; nothing otherwise (also for a missing or empty file, or one that could not
    // be read). The file's bytes are read again by decode, which so must outlive this value.
    static std::optional<StoredValue> find(StoreFileBytes file, QStringView section,
                                           QStringView key);
    // The same for a file in memory, which must outlive the value.
    static std::optional<StoredValue> find(QByteArrayView file, QStringView section,
                                           QStringView key);

    bool isEmpty() const { return empty_; }
    // The value read from another handle on the very same file, which must outlive it.
    void readFrom(StoreFileBytes file) { file_ = std::move(file); }
    // Puts the text into pieces in consecutive parts, each valid for the call only: a run of
    // ASCII as it stands in the file, one byte a character, anything else as UTF-16. False when
    // the file could not be read again as it was: the parts so far are then not all of it.
    bool decode(TextSink& pieces) const;

  private:
    enum class Form { Bytes, Text };
    StoreFileBytes file_;
    qint64 start_ = 0;  // the value's bytes in the file
    qint64 end_ = 0;
    Form form_ = Form::Text;
    qsizetype count_ = 0;  // characters and bytes, as the reading counts them
    qsizetype skip_ = 0;   // characters before the text (a prefix such as "@ByteArray(")
    bool dropLast_ = false;
    bool empty_ = true;
};
