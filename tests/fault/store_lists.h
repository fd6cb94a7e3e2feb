#pragma once
// The lists the fault tests store: rows "<tag>0" = "0", "<tag>1" = "1", ... so a stored text tells
// which list it holds and whether it is whole.

#include "slices/persistence.h"

#include <QString>

inline QString storeListName(const QString& tag, int row) { return tag + QString::number(row); }
inline QString storeListValue(int row) { return QString::number(row); }

inline QString encodedStoreList(const QString& tag, int rows) {
    QString text;
    for (int i = 0; i < rows; ++i)
        text += storeListName(tag, i) + QString::fromUtf16(kNameValueSeparator) +
                storeListValue(i) + QString::fromUtf16(kRowTerminator);
    return text;
}
