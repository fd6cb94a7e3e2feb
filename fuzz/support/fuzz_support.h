#pragma once
// What every fuzz target shares. A target is one file, fuzz/<name>_fuzz.cpp, that defines
// LLVMFuzzerTestOneInput and calls startFuzzApplication() first; its seeds live in
// fuzz/corpus/<name>/ and an optional libFuzzer dictionary in fuzz/<name>.dict. Built with clang
// it is a libFuzzer binary; with any other compiler it only replays the inputs it is given.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// Once per process: a headless QApplication, the en_US locale and a home folder of its own,
// as the unit tests have.
void startFuzzApplication();

// Ends the run when an invariant does not hold; libFuzzer keeps the input that did it.
[[noreturn]] void fuzzFailure(const char* file, int line, const char* condition,
                              const QString& detail);
#define FUZZ_CHECK(condition, detail)                                            \
    do {                                                                         \
        if (!(condition)) fuzzFailure(__FILE__, __LINE__, #condition, (detail)); \
    } while (false)

inline QByteArray fuzzBytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A file in the process's scratch folder holding exactly these bytes, for loaders that take a
// path. The same file is rewritten on every call with the same name.
QString scratchFile(const QString& name, const QByteArray& bytes);
// The scratch folder itself.
QString scratchFolder();

// A text for failure messages: control characters escaped, cut to a readable length.
QString printable(const QString& text);
