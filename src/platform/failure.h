#pragma once
// What every adapter throws when the outside world refuses: a description for the error report
// and, where the caller needs one, a failure number. It lives here so the adapters can raise it
// without depending on the program; the shell's error report is what catches it.

#include <QByteArray>
#include <QString>
#include <exception>

class Failure : public std::exception {
  public:
    explicit Failure(QString description, int number = 0)
        : description_(std::move(description)), number_(number), utf8_(description_.toUtf8()) {}

    const QString& description() const { return description_; }
    int number() const { return number_; }
    const char* what() const noexcept override { return utf8_.constData(); }

  private:
    QString description_;
    int number_;
    QByteArray utf8_;
};
