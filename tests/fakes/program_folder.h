#pragma once
// A program folder of a test's own, to put the shipped skin and cursor, or broken ones, into.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class ProgramFolder {
  public:
    QString path() const { return dir_.path(); }
    // Copies a file we ship (a path under resources/program) into the folder.
    void addShipped(const QString& relativePath);
    void write(const QString& relativePath, const QByteArray& bytes);
    void makeFolder(const QString& relativePath);
    static QByteArray shippedBytes(const QString& relativePath);

  private:
    QTemporaryDir dir_;
};

inline const QString kShippedSkin = QStringLiteral("x/o.cjs");
inline const QString kShippedCursor = QStringLiteral("HAND-M.CUR");
