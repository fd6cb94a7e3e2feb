#pragma once
// Keeping the list between runs: at close every row is encoded as name, the name/value
// separator, value and the row terminator, all concatenated, and stored under "Data"; at start
// the text is split back into rows. There is no escaping: a separator text inside a name or
// value splits it at the next start.

#include <QString>

class Form1;
class GuardedProcedure;
class ListView;

inline constexpr char16_t kNameValueSeparator[] = u"My_Separatora12";
inline constexpr char16_t kRowTerminator[] = u"My_Separatora23";
inline constexpr char16_t kSettingsAppName[] = u"Brakenwel";
inline constexpr char16_t kDataKey[] = u"Data";

// The close handler's lines 100 to 108: encode every row and store the text. False when the
// whole list could not be stored.
bool saveList(Form1& form, GuardedProcedure& guard);
// The load handler's lines 136 to 152: read "Data" and append its rows.
void restoreList(Form1& form, GuardedProcedure& guard);

// The encoding of the whole list, for callers that need no line numbers.
QString encodeList(const ListView& list);

// Stores the list under "Data" as the close handler does, where no window can be shown (the
// display has gone): a failure goes to standard error and leaves the stored list as it was.
// False when it failed.
bool storeListWithoutWindows(Form1& form);
