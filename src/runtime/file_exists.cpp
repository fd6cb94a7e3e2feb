#include "runtime/file_exists.h"

#include <QDir>
#include <QFileInfo>

bool FileExists(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0))) return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QString programFile(const QString& programFolder, const QString& name) {
    return programFolder + QDir::separator() + name;
}
