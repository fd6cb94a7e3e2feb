#include "fakes/program_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

QByteArray ProgramFolder::shippedBytes(const QString& relativePath) {
    QFile file(QStringLiteral(QWS_SHIPPED_PROGRAM_FILES) + u'/' + relativePath);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("shipped file missing: " + relativePath.toStdString());
    return file.readAll();
}

void ProgramFolder::addShipped(const QString& relativePath) {
    write(relativePath, shippedBytes(relativePath));
}

void ProgramFolder::write(const QString& relativePath, const QByteArray& bytes) {
    const QString target = path() + u'/' + relativePath;
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + target.toStdString());
}

void ProgramFolder::makeFolder(const QString& relativePath) {
    QDir().mkpath(path() + u'/' + relativePath);
}
