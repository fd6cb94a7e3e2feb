#pragma once

#include <QLocale>

// Qt's own texts (the buttons of message boxes, the file and font dialogs) in the language of
// the locale, when Qt's translations for it are installed. The program's own texts are not
// translated. The translator the application now owns, or null when none was found.
class QTranslator;
QTranslator* installQtTranslations(const QLocale& locale = QLocale::system());
