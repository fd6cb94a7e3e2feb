#include "slices/list_file.h"

namespace {

QString collapsePairs(QStringView text, QChar separator) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out.append(text[i]);
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator) ++i;
    }
    return out;
}

}  // namespace

QString NormalizeListPath(QStringView path, QChar separator) {
    if (!path.startsWith(separator)) return collapsePairs(path, separator);
    // With the backslash any leading run becomes exactly two, which keeps a network path's two
    // intact. Where "/" separates there are no network paths and a leading run only names the
    // root, so it becomes one: reports read "/tmp/a.txt", not "//tmp/a.txt".
    const qsizetype leading = separator == u'\\' ? 2 : 1;
    qsizetype first = 0;
    while (first < path.size() && path[first] == separator) ++first;
    return QString(leading, separator) + collapsePairs(path.mid(first), separator);
}
