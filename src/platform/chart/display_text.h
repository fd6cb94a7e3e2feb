#pragma once
// What is drawn of a text is a bounded prefix of it. Qt lays out the whole of a text to draw or
// elide even the part that fits, and a name of hundreds of megabytes takes gigabytes there and
// can crash it; no cell or legend line shows more than a few thousand characters anyway. Only
// the drawing is cut: the data keeps its whole text.

#include <QString>
#include <QStringView>

inline constexpr qsizetype kDisplayTextLimit = 4096;

// The text itself up to kDisplayTextLimit characters; a longer one is cut there (never inside a
// surrogate pair) and ends with an ellipsis.
inline qsizetype displayPrefixLength(QStringView text) {
    if (text.size() <= kDisplayTextLimit) return text.size();
    return text[kDisplayTextLimit - 1].isHighSurrogate() ? kDisplayTextLimit - 1
                                                         : kDisplayTextLimit;
}

inline QString displayText(QStringView text) {
    const qsizetype shown = displayPrefixLength(text);
    if (shown == text.size()) return text.toString();
    QString prefix;
    prefix.reserve(shown + 1);
    prefix.append(text.first(shown));
    prefix.append(QChar(0x2026));
    return prefix;
}
