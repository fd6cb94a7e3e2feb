// The main of a fuzz target built without libFuzzer: runs every file it is given, and every file
// under every folder it is given, through the target once. Options (arguments starting with '-')
// are libFuzzer's and are ignored.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool replay(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                           size_t(bytes.size()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 0;
    bool ok = true;
    bool options = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith(u'-')) {
            options = true;
            continue;
        }
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                ok = replay(it.next()) && ok;
                ++runs;
            }
        } else {
            ok = replay(arg) && ok;
            ++runs;
        }
    }
    if (options) std::printf("built without libFuzzer: options ignored, inputs replayed only\n");
    std::printf("replayed %d inputs\n", runs);
    return ok ? 0 : 1;
}
