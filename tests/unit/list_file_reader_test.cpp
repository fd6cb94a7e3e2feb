#include "slices/list_file_reader.h"
#include "platform/failure.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>

namespace {

class ListFileReaderTest : public ::testing::Test {
  protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return path;
    }

    static QStringList read(const QString& path,
                            qsizetype chunk = ListFileReader::kDefaultChunkBytes) {
        QStringList lines;
        ListFileReader reader(path, chunk);
        reader.readLines([&](QStringView line) { lines.append(line.toString()); });
        return lines;
    }

    // What the whole file decodes to in one piece, split at every line end.
    static QStringList reference(const QByteArray& bytes) {
        QStringDecoder decoder(
            QStringConverter::System,
            QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        QString text = decoder.decode(bytes);
        QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
        if (!text.isEmpty() && (text.endsWith(u'\n') || text.endsWith(u'\r'))) lines.removeLast();
        if (text.isEmpty()) lines.clear();
        return lines;
    }

    static int openFiles() {
        return int(
            QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(ListFileReaderTest, DecodesLikeTheWholeFileWhereverChunksEnd) {
    // Multi-byte characters, bad bytes and CR LF pairs placed across every chunk boundary.
    static const char kTail[] =
        "\xE2\x82\xAC,1\r\n\xF0\x9F\x98\x80,2\r\nbad\xE2\x82\n\xC3,3\r\n\xFF\xFE\x00z,4\n"
        "a\r\n\nb\r\rc\n\rd";
    const QByteArray tail(kTail, sizeof kTail - 1);
    for (int prefix = 0; prefix < 40; ++prefix) {
        const QByteArray bytes = QByteArray(prefix, 'p') + tail + QByteArray(prefix % 7, 'q');
        const QString path = write(QStringLiteral("chunks.txt"), bytes);
        const QStringList expected = reference(bytes);
        for (qsizetype chunk : {16, 17, 19, 23}) {
            SCOPED_TRACE(QStringLiteral("prefix %1 chunk %2").arg(prefix).arg(chunk).toStdString());
            ASSERT_EQ(read(path, chunk), expected);
        }
    }
    const QStringList lines = reference(tail);
    EXPECT_EQ(lines.at(0), QString::fromUtf16(u"\u20AC,1"));
    EXPECT_EQ(lines.at(2), QStringLiteral("bad") + QChar(0xFFFD) + QChar(0xFFFD));
    EXPECT_EQ(lines.at(3), QString(QChar(0xFFFD)) + ",3");
    EXPECT_EQ(lines.at(4).at(2), QChar(0));
}

TEST_F(ListFileReaderTest, StopsAtTheSizeTheFileHadWhenOpened) {
    QByteArray bytes;
    for (int i = 0; i < 100; ++i) bytes += "name" + QByteArray::number(i) + ",1\n";
    const QString path = write(QStringLiteral("growing.txt"), bytes);
    QStringList lines;
    ListFileReader reader(path, 16);
    reader.readLines([&](QStringView line) {
        if (lines.isEmpty()) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::Append));
            for (int i = 0; i < 1000; ++i) file.write("more,2\n");
        }
        lines.append(line.toString());
    });
    EXPECT_EQ(lines.size(), 100);
    EXPECT_EQ(lines.last(), "name99,1");
}

TEST_F(ListFileReaderTest, EndsWhereAShrunkFileNowEnds) {
    QByteArray bytes;
    for (int i = 0; i < 100; ++i) bytes += "name" + QByteArray::number(i) + ",1\n";
    const QString path = write(QStringLiteral("shrinking.txt"), bytes);
    QStringList lines;
    ListFileReader reader(path, 16);
    reader.readLines([&](QStringView line) {
        if (lines.isEmpty()) {
            ASSERT_TRUE(QFile::resize(path, 40));
        }
        lines.append(line.toString());
    });
    ASSERT_LE(lines.size(), 5);
    ASSERT_GE(lines.size(), 1);
    const QStringList all = QString::fromLatin1(bytes).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) EXPECT_TRUE(all.at(i).startsWith(lines.at(i)));
}

TEST_F(ListFileReaderTest, RefusesEverythingButARegularFileWithoutWaiting) {
    const QString fifo = dir.filePath(QStringLiteral("pipe.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString socketPath = dir.filePath(QStringLiteral("socket.txt"));
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(native.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QDir(dir.path()).mkdir(QStringLiteral("folder.txt"));

    struct Case {
        QString path;
        const char* kind;
    };
    const Case cases[] = {
        {fifo, "a named pipe"},
        {socketPath, "a socket"},
        {dir.filePath(QStringLiteral("folder.txt")), "a folder"},
        {QStringLiteral("/dev/null"), "a character device"},
    };
    const int before = openFiles();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        try {
            ListFileReader reader(c.path);
            FAIL() << "opened";
        } catch (const Failure& failure) {
            EXPECT_TRUE(failure.description().contains(QLatin1String(c.kind)))
                << failure.description().toStdString();
            EXPECT_TRUE(failure.description().contains(c.path));
        }
        EXPECT_EQ(openFiles(), before);
    }
    ::close(listening);
}

TEST_F(ListFileReaderTest, ClosesTheFileWhenAFailureLeavesTheRead) {
    const QString path = write(QStringLiteral("a.txt"), "a,1\nb,2\n");
    const int before = openFiles();
    EXPECT_THROW(
        {
            ListFileReader reader(path);
            EXPECT_EQ(openFiles(), before + 1);
            reader.readLines([](QStringView) { throw Failure(QStringLiteral("stop")); });
        },
        Failure);
    EXPECT_EQ(openFiles(), before);
    EXPECT_THROW(ListFileReader(dir.filePath(QStringLiteral("missing.txt"))), Failure);
    EXPECT_EQ(openFiles(), before);
}

TEST_F(ListFileReaderTest, RefusesALineLongerThanTheBoundAfterTheLinesBeforeIt) {
    // Bounds below, at and above a chunk, so the line is whole in a chunk or gathered.
    for (qsizetype bound : {8, 20, 40}) {
        SCOPED_TRACE(bound);
        const QByteArray line(bound, 'n');
        const QString path =
            write(QStringLiteral("long.txt"), "a,1\r\n" + line + "\r\n" + line + "x\r\nb,2\r\n");
        QStringList lines;
        ListFileReader reader(path, 16, bound);
        try {
            reader.readLines([&](QStringView l) { lines.append(l.toString()); });
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_TRUE(failure.description().contains(QDir::toNativeSeparators(path)));
            EXPECT_TRUE(failure.description().contains(QStringLiteral("line 3 ")));
        }
        EXPECT_EQ(lines, QStringList({"a,1", QString::fromLatin1(line)}));
    }
}

TEST(CharacterBoundary, NeverSplitsAUtf8Sequence) {
    struct Case {
        QByteArray bytes;
        qsizetype cut;
    };
    const Case cases[] = {
        {"abc", 3},
        {"ab\xE2", 2},
        {"ab\xE2\x82", 2},
        {"ab\xE2\x82\xAC", 5},
        {"a\xF0\x9F\x98", 1},
        {"a\xC3\xA9", 3},
        {"a\x82\x82\x82\x82", 5},  // stray continuation bytes are no character to wait for
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        EXPECT_EQ(characterBoundary(c.bytes), c.cut);
    }
}
