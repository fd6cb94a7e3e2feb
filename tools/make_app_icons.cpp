// Writes the application icon, as the program draws it, as PNG files for the desktop's icon
// theme: <folder>/<size>x<size>/apps/quorvel-wedge-studio.png for every size given.
// Usage: make_app_icons <folder> <size>...
#include "runtime/app_icon.h"

#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_app_icons <folder> <size>...\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "not a size: %s\n", argv[i]);
            return 2;
        }
        const QString apps = folder + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = apps + QStringLiteral("/quorvel-wedge-studio.png");
        if (!QDir().mkpath(apps) || !applicationIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
