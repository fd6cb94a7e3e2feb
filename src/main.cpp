#include "platform/platform.h"
#include "runtime/titles.h"
#include "shell/startup.h"
#include "windows/form1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtPlatform platform(productTitle());
    Form1 form(platform.platform());
    startMainWindow(form);
    return app.exec();
}
