#pragma once
// The product title (both windows' caption, the settings section) and the application title
// that every message box without a title of its own carries.

#include <QString>

inline constexpr char16_t kProductTitle[] = u"Quorvel Wedge Studio Deluxe";

QString productTitle();
// The title SetAppTitle derives from a product title: drop the last word, then keep dropping
// words while the rest is longer than 40 characters. Throws Failure when no blank is left.
QString applicationTitleFrom(const QString& product);
void SetAppTitle();
// Empty until SetAppTitle has run.
QString applicationTitle();
