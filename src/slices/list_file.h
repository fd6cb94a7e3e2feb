#pragma once
// Loading name/value list files into the list: the button opens a multi-selection open dialog,
// each chosen file is read in turn (list_file_reader.h streams its lines) and every usable line
// becomes one row appended at the end.

#include <QString>
#include <QStringList>
#include <optional>

class Form1;
class ListView;
class LocaleNumbers;

void PushButton3_Click(Form1& form);

// Files named from outside the dialog (the command line, a drop) load as if they had been chosen
// together in it: in the order given, with the same hourglass and the same reports. Nothing
// happens while another load runs.
void loadListFiles(Form1& form, const QStringList& paths);
// True while list files load (the main window shows the hourglass).
bool loadingListFiles(const Form1& form);

// Reads one file into the main window's list: "File not found" when the path does not exist;
// any other failure (not a regular file, a read error, a value too large) travels up with the
// rows appended so far left in place and the file closed.
void LoadListFile(Form1& form, const QString& path);

// Appends at most one row for the line: fields at every comma, empty ones skipped, the first
// non-empty one the name, the next the value as canonical number text.
void AddListLine(QStringView line, ListView& list);
void AddListLine(QStringView line, ListView& list, const LocaleNumbers& numbers);

// A value field as it is stored: a numeric field converted by the locale, anything else by its
// leading number in fixed notation (0 when there is none), both written as canonical text.
// Throws Failure when the leading number is too large for a double.
QString listValueText(QStringView field, const LocaleNumbers& numbers);

// Collapses doubled separators of a joined path in one left-to-right pass; a leading run of
// separators becomes exactly two backslashes (a network path), or one "/" (the root).
QString NormalizeListPath(QStringView path, QChar separator);

inline constexpr qint32 kLoadListDialogFlags = 2621953;
inline constexpr char16_t kLoadListDialogTitle[] =
    u"Load List(s) - Hold Ctrl to select multiple list files";
inline constexpr char16_t kLoadListDialogFilter[] =
    u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|";
inline constexpr char16_t kFileNotFound[] = u"File not found";
