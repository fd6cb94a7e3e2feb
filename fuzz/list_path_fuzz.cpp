// NormalizeListPath over any text, with the backslash and with the native separator.
//
// Invariants: a path never grows, except that one leading backslash becomes two; a path that
// begins with a separator comes back beginning with exactly two backslashes, or exactly one "/";
// every other character stays, in order.
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
    const qsizetype leading = separator == u'\\' ? 2 : 1;
    const bool oneLeading =
        path.startsWith(separator) && (path.size() == 1 || path.at(1) != separator);
    FUZZ_CHECK(normal.size() <= path.size() + (oneLeading ? leading - 1 : 0), printable(path));
    if (path.startsWith(separator)) {
        // Exactly as many leading separators as the separator's rule gives, whatever the run was.
        FUZZ_CHECK(normal.startsWith(QString(leading, separator)), printable(normal));
        FUZZ_CHECK(normal.size() == leading || normal.at(leading) != separator, printable(normal));
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
