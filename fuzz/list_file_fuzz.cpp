// List files: any bytes as a file read by LoadListFile, and each of its lines by AddListLine.
//
// Invariants: no row holds a line end; every row's value is empty or a canonical number text
// (numeric, and written back the same); a file never gives more rows than it has lines; the
// rows of the whole file are the rows of its lines added one by one, up to the same failure.
#include "fakes/fake_platform.h"
#include "platform/chart/number_text.h"
#include "platform/failure.h"
#include "shell/main_window.h"
#include "slices/list_file.h"
#include "support/fuzz_support.h"
#include "windows/form1.h"

#include <QStringDecoder>
#include <memory>

namespace {

QStringList rowsOf(const ListView& list) {
    QStringList rows;
    for (qsizetype i = 1; i <= list.count(); ++i)
        rows.append(list.text(i) + QChar(0) + list.subItem(i));
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    startFuzzApplication();
    const QByteArray bytes = fuzzBytes(data, size);

    FakePlatform fake;
    auto form = std::make_unique<Form1>(fake.platform());
    Form_Load(*form);
    // A value too large for a number fails the read; the rows before it stay.
    bool failed = false;
    try {
        LoadListFile(*form, scratchFile(QStringLiteral("list.txt"), bytes));
    } catch (const Failure&) {
        failed = true;
    }
    FUZZ_CHECK(fake.messages.shown.empty(), fake.messages.shown.front().text);

    const LocaleNumbers& numbers = currentNumbers();
    ListView& list = *form->ListView1;
    for (qsizetype i = 1; i <= list.count(); ++i) {
        const QString name = list.text(i);
        const QString value = list.subItem(i);
        FUZZ_CHECK(!name.contains(u'\r') && !name.contains(u'\n'), printable(name));
        FUZZ_CHECK(!value.contains(u'\r') && !value.contains(u'\n'), printable(value));
        if (!value.isEmpty()) {
            const std::optional<double> read = numbers.parse(value);
            FUZZ_CHECK(read.has_value(), printable(value));
            FUZZ_CHECK(numbers.format(*read) == value, printable(value));
        }
    }

    // The same text split by hand at CR LF, CR and LF, each line added on its own.
    // A byte-order mark is text like any other.
    QStringDecoder decode(QStringConverter::System, QStringConverter::Flag::Stateless |
                                                        QStringConverter::Flag::ConvertInitialBom);
    QString text = decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    const QStringList lines = text.split(u'\n');
    FUZZ_CHECK(list.count() <= lines.size(), QString::number(list.count()));
    ListView byLine;
    bool failedByLine = false;
    try {
        for (const QString& line : lines) AddListLine(line, byLine, numbers);
    } catch (const Failure&) {
        failedByLine = true;
    }
    FUZZ_CHECK(failed == failedByLine, printable(text));
    FUZZ_CHECK(rowsOf(byLine) == rowsOf(list), printable(text));
    return 0;
}
