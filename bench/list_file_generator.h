#pragma once
// Writes the list files the list-file benchmarks read: one "name123456,12.5" row a line, CR LF
// line ends, numbered names so every row differs.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>

inline bool writeListFile(const QString& path, qsizetype lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QByteArray block;
    block.reserve(1 << 20);
    char line[64];
    for (qsizetype i = 0; i < lines; ++i) {
        const int n =
            std::snprintf(line, sizeof line, "name%06lld,12.5\r\n", (long long)(i % 1000000));
        block.append(line, n);
        if (block.size() >= (1 << 20) - 64) {
            if (file.write(block) != block.size()) return false;
            block.clear();
        }
    }
    return file.write(block) == block.size() && file.flush();
}
