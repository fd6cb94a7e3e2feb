#pragma once

#include <QString>

// True when the modification time of the file or folder at path can be read; never fails.
bool FileExists(const QString& path);
// The program folder joined with a name by the native separator.
QString programFile(const QString& programFolder, const QString& name);
