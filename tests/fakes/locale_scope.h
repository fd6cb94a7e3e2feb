#pragma once
// Sets the default locale for one scope of a test and puts the previous one back.

#include <QLocale>

class LocaleScope {
  public:
    explicit LocaleScope(const QLocale& locale) : saved_(QLocale()) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

  private:
    QLocale saved_;
};

inline const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
inline const QLocale kGerman(QLocale::German, QLocale::Germany);
