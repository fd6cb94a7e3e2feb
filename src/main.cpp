#include "platform/platform.h"
#include "runtime/titles.h"
#include "shell/command_line.h"
#include "shell/qt_translations.h"
#include "shell/startup.h"
#include "windows/form1.h"

#include <QApplication>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    const CommandLine line = readCommandLine(argc, argv);
    if (const auto status = answerCommandLine(line, stdout, stderr)) return *status;
    readStoredListAhead();
    int toolkitArgc = line.toolkitArgumentCount;
    auto toolkit = std::make_unique<ToolkitStart>();
    QApplication app(toolkitArgc, argv);
    toolkit.reset();
    installQtTranslations();
    QtPlatform platform(productTitle());
    Form1 form(platform.platform());
    startMainWindow(form, line.files);
    return app.exec();
}
