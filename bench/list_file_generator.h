#pragma once
// The rows the benchmarks load and store, as a user's lists have them: names of 3 to 24
// letters and digits, values that are integers or decimals of 1 to 4 places, all different from
// row to row. The same seed gives the same rows, so runs compare.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <cstdio>

class VariedRows {
  public:
    explicit VariedRows(std::uint64_t seed = 0x9E3779B97F4A7C15ull) : state_(seed) {}

    // The next row's name and value, written into name and value; their lengths.
    int name(char* out) {
        static const char kLetters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789";
        const int length = 3 + int(next() % 22);
        for (int i = 0; i < length; ++i) out[i] = kLetters[next() % (sizeof kLetters - 1)];
        out[0] = kLetters[next() % 52];  // a name starts with a letter
        return length;
    }
    int value(char* out) {
        const int places = int(next() % 5);  // 0: an integer
        const long long whole = (long long)(next() % 100000);
        if (places == 0) return std::snprintf(out, 32, "%lld", whole);
        static const int kScale[] = {1, 10, 100, 1000, 10000};
        const long long fraction = (long long)(next() % std::uint64_t(kScale[places]));
        return std::snprintf(out, 32, "%lld.%0*lld", whole, places, fraction);
    }

  private:
    std::uint64_t next() {
        // xorshift64*: fast and good enough to make every row differ.
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    std::uint64_t state_;
};

// One "name,value" row a line, CR LF line ends.
inline bool writeListFile(const QString& path, qsizetype lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    VariedRows rows;
    QByteArray block;
    block.reserve(1 << 20);
    char line[96];
    for (qsizetype i = 0; i < lines; ++i) {
        int n = rows.name(line);
        line[n++] = ',';
        n += rows.value(line + n);
        line[n++] = '\r';
        line[n++] = '\n';
        block.append(line, n);
        if (block.size() >= (1 << 20) - 96) {
            if (file.write(block) != block.size()) return false;
            block.clear();
        }
    }
    return file.write(block) == block.size() && file.flush();
}

// The stored form of that many varied rows, as the close writes it.
inline QString variedStoredList(qsizetype rows, QStringView separator, QStringView terminator) {
    VariedRows varied;
    QString text;
    text.reserve(rows * (20 + separator.size() + terminator.size()));
    char name[32];
    char value[32];
    for (qsizetype i = 0; i < rows; ++i) {
        text += QLatin1StringView(name, varied.name(name));
        text += separator;
        text += QLatin1StringView(value, varied.value(value));
        text += terminator;
    }
    return text;
}

// A list file of one line: a name of that many bytes, a comma and a value.
inline bool writeOneLineListFile(const QString& path, qint64 nameBytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray block(1 << 20, 'n');
    for (qint64 left = nameBytes; left > 0; left -= block.size()) {
        const qsizetype part = qsizetype(qMin<qint64>(left, block.size()));
        if (file.write(block.constData(), part) != part) return false;
    }
    return file.write(",5\r\n") == 4 && file.flush();
}
