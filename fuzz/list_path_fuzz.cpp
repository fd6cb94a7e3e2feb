// NormalizeListPath over any text, with the backslash and with the native separator.
//
// Invariants: a path never grows, except that one leading separator becomes two; a path that
// begins with a separator comes back beginning with exactly two; every other character stays,
// in order.
#include "slices/list_file.h"
#include "support/fuzz_support.h"

namespace {

QString withoutSeparators(const QString& path, QChar separator) {
    QString rest = path;
    rest.remove(separator);
    return rest;
}

void check(const QString& path, QChar separator) {
    const QString normal = NormalizeListPath(path, separator);
    const bool oneLeading =
        path.startsWith(separator) && (path.size() == 1 || path.at(1) != separator);
    FUZZ_CHECK(normal.size() <= path.size() + (oneLeading ? 1 : 0), printable(path));
    if (path.startsWith(separator)) {
        // Exactly two leading separators, whatever the run was.
        FUZZ_CHECK(normal.startsWith(QString(2, separator)), printable(normal));
        FUZZ_CHECK(normal.size() == 2 || normal.at(2) != separator, printable(normal));
    }
    FUZZ_CHECK(withoutSeparators(normal, separator) == withoutSeparators(path, separator),
               printable(path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    startFuzzApplication();
    const QString path = QString::fromUtf8(fuzzBytes(data, size));
    check(path, u'\\');
    check(path, u'/');
    return 0;
}
