#include "platform/store/store_file_format.h"
#include "platform/failure.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <cstring>

namespace {

const QString kSection = QStringLiteral("Quorvel Wedge Studio Deluxe");
const QString kKey = QStringLiteral("Data");

// Texts that meet every way the file escapes or quotes: backslashes, quotes, the characters that
// make QSettings quote, blanks at either end, control characters (NUL before a digit), hex digits
// after an escape, Latin-1, the rest of the BMP, pairs and lone halves of surrogates.
QString randomText(QRandomGenerator& random, qsizetype length) {
    static const QString kAscii =
        QStringLiteral("\\\";,= @()[]%#abcfxyzABF0123456789My_Separatora");
    QString text;
    for (qsizetype i = 0; i < length; ++i) {
        switch (random.bounded(8)) {
            case 0:
                text += QChar(char16_t(random.bounded(0x20)));
                break;
            case 1:
                text += QChar(char16_t(0x7F + random.bounded(0x81)));
                break;
            case 2:
                text += QChar(char16_t(0x100 + random.bounded(0xD700)));
                break;
            case 3:
                text += QChar::fromUcs4(0x10000 + random.bounded(0xF0000));
                break;
            case 4:
                text += QChar(char16_t(0xD800 + random.bounded(0x800)));
                break;
            default:
                text += kAscii.at(random.bounded(int(kAscii.size())));
        }
    }
    return text;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text QSettings reads back from a file, through an instance that cannot have it cached.
QString readByQSettings(const QString& path) {
    QSettings settings(path, QSettings::IniFormat);
    return settings.value(kSection + u'/' + kKey).toString();
}

struct Joined : TextSink {
    void put(QLatin1StringView piece) override { text += piece; }
    void put(QStringView piece) override { text += piece; }
    QString text;
};

std::optional<QString> readByUs(const QByteArray& file) {
    const std::optional<StoredValue> value = StoredValue::find(file, kSection, kKey);
    if (!value) return std::nullopt;
    Joined joined;
    value->decode(joined);
    const QString& text = joined.text;
    EXPECT_EQ(value->isEmpty(), text.isEmpty());
    return text;
}

}  // namespace

TEST(StoreFileFormatTest, RoundTripsWithQSettingsBothWaysByteForByte) {
    QTemporaryDir dir;
    int files = 0;
    auto freshPath = [&] { return dir.filePath(QStringLiteral("s%1.conf").arg(++files)); };
    QRandomGenerator random(20211);
    QList<QString> texts = {QString(), QStringLiteral(" "), QStringLiteral("@"),
                            QStringLiteral("@ByteArray(x)"),
                            QStringView(u"a\0"
                                        "1",
                                        3)
                                .toString()};
    for (qsizetype length : {1, 2, 3, 5, 15, 40, 300, 5000, 200000})
        for (int i = 0; i < (length > 10000 ? 3 : 20); ++i)
            texts.append(randomText(random, length));

    for (const QString& text : texts) {
        SCOPED_TRACE(text.left(40).toUtf8().toHex().toStdString());
        // The program stores a text as its UTF-8 bytes; QSettings writes those bytes so.
        const QString theirs = freshPath();
        {
            QSettings settings(theirs, QSettings::IniFormat);
            settings.setValue(kSection + u'/' + kKey, text.toUtf8());
        }
        StoreFileWriter writer(kSection, kKey, random.bounded(2) ? text.size() : 0);
        // In pieces cut anywhere, also between the halves of a surrogate pair.
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype n = std::min<qsizetype>(text.size() - at, 1 + random.bounded(9000));
            if (random.bounded(2) && text.mid(at, n) == text.mid(at, n).toLatin1())
                writer.append(QLatin1StringView(text.mid(at, n).toLatin1()));
            else
                writer.append(QStringView(text).sliced(at, n));
            at += n;
        }
        const QByteArray ours = writer.finish();
        ASSERT_EQ(ours, fileBytes(theirs));

        const QString expected = QString::fromUtf8(text.toUtf8());
        const QString written = freshPath();
        QFile out(written);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(ours);
        out.close();
        EXPECT_EQ(readByQSettings(written), expected);
        EXPECT_EQ(readByUs(ours), expected);

        // A text that QSettings wrote as text (older versions did, and so may a hand) reads as
        // QSettings reads it.
        const QString asText = freshPath();
        {
            QSettings settings(asText, QSettings::IniFormat);
            settings.setValue(kSection + u'/' + kKey, text);
        }
        // Read from a copy: QSettings would answer from what it cached when writing.
        const QString copy = freshPath();
        ASSERT_TRUE(QFile::copy(asText, copy));
        EXPECT_EQ(readByUs(fileBytes(asText)), readByQSettings(copy));
    }
}

TEST(StoreFileFormatTest, FilesOfAnyOtherShapeAreLeftToQSettings) {
    const QByteArray head = "[Quorvel%20Wedge%20Studio%20Deluxe]\nData=";
    struct Case {
        const char* name;
        QByteArray file;
        std::optional<QString> read;
    };
    const Case cases[] = {
        {"own shape", head + "@ByteArray(a\\xc3\\xa9)\n", QString::fromUtf8("a\xc3\xa9")},
        {"no final line end", head + "x", QStringLiteral("x")},
        {"empty value", head + "\n", QString()},
        {"a second key", head + "x\nOther=1\n", std::nullopt},
        {"a second section", "[General]\na=1\n\n" + head + "x\n", std::nullopt},
        {"CR LF line ends", "[Quorvel%20Wedge%20Studio%20Deluxe]\r\nData=x\r\n", std::nullopt},
        {"a comment after the value", head + "x ;note\n", std::nullopt},
        {"a list", head + "a, b\n", std::nullopt},
        {"trailing blanks QSettings cuts", head + "x  \n", std::nullopt},
        {"a line break inside quotes", head + "\"a\nb\"\n", std::nullopt},
        {"a typed value", head + "@Variant(\\0\\0\\0\\x7f)\n", std::nullopt},
        {"raw UTF-8 inside a byte array", head + "@ByteArray(\xc3\xa9)\n", std::nullopt},
        {"another key", "[Quorvel%20Wedge%20Studio%20Deluxe]\nDatum=x\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readByUs(c.file), c.read);
    }
}

// The file handed on in parts as it is made, and read a megabyte at a time: the same bytes as
// QSettings writes and the same text as it reads, wherever a part ends, whatever it cuts.
TEST(StoreFileFormatTest, FilesWrittenAndReadInPartsAreTheSameAsWhole) {
    QTemporaryDir dir;
    int files = 0;
    auto written = [&](const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("f%1.conf").arg(++files));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        return path;
    };
    QRandomGenerator random(1121);
    // Long enough for the writer to hand on several parts; the second needs quotes.
    for (const QString& text :
         {randomText(random, 1200000), QStringLiteral("a=b").repeated(2 << 20)}) {
        QSettings theirs(dir.filePath(QStringLiteral("theirs.conf")), QSettings::IniFormat);
        theirs.setValue(kSection + u'/' + kKey, text.toUtf8());
        theirs.sync();
        QByteArray parts;
        int count = 0;
        // Told no quotes first: a text that needs them stops that writer, to be written again.
        for (bool quoted : {false, true}) {
            parts.clear();
            StoreFileWriter writer(kSection, kKey, quoted, [&](QByteArrayView part) {
                parts += part;
                ++count;
                return true;
            });
            writer.put(QStringView(text));
            writer.finish();
            if (!writer.quotesMissing()) break;
        }
        EXPECT_GT(count, 1);
        ASSERT_EQ(parts, fileBytes(theirs.fileName()));
        EXPECT_EQ(readByUs(parts), QString::fromUtf8(text.toUtf8()));
    }
    // A quoted text that needs no quotes had changed since it was found to need them.
    StoreFileWriter quoted(kSection, kKey, true, [](QByteArrayView) { return true; });
    quoted.put(QLatin1StringView("ab"));
    EXPECT_THROW(quoted.finish(), Failure);

    // Every kind of escape, and a UTF-8 sequence in a text value, cut by the reading's part
    // boundary at each of its bytes.
    const QByteArray head = "[Quorvel%20Wedge%20Studio%20Deluxe]\nData=";
    constexpr qsizetype kPart = 1 << 20;
    for (const QByteArray& form : {QByteArray("@ByteArray("), QByteArray()})
        for (const char* cut : {"\\x4e4f1", "\\017x", "\\101x", "\\\\x", "\\\"x", "\\qx",
                                "\"a,b\" ", "\xc3\xa9\xe2\x82\xac", "\\", "\\x"})
            for (qsizetype at = 0; at < qsizetype(std::strlen(cut)); ++at) {
                SCOPED_TRACE(std::string(cut) + " cut after " + std::to_string(at));
                const QByteArray tail = cut + QByteArray(form.isEmpty() ? "\n" : ")\n");
                const QByteArray file =
                    head + form + QByteArray(kPart - head.size() - form.size() - at, 'a') + tail;
                const std::optional<QString> ours = readByUs(file);
                // The same value short enough to be read in one part.
                EXPECT_EQ(ours.has_value(), readByUs(head + form + "a" + tail).has_value());
                if (ours) {
                    EXPECT_EQ(*ours, readByQSettings(written(file)));
                }
            }
}
