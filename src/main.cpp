#include "platform/platform.h"
#include "shell/startup.h"
#include "shell/titles.h"
#include "windows/form1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtPlatform platform(productTitle());
    Form1 form(platform.platform());
    startMainWindow(form);
    return app.exec();
}
