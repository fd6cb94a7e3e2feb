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

#include "platform/store/store_file_reader.h"
#include "platform/store/store_file_writer.h"
