// The stored list: restoring any stored text, and storing then restoring any list.
//
// Invariants: a restored text gives one row per non-empty piece between row terminators, none of
// them holding a separator text, and one report (line 150) per piece without a name/value
// separator; a list whose texts hold no separator text comes back the same, through the test
// store and through the real settings file.
#include "fakes/fake_platform.h"
#include "platform/store/settings_store.h"
#include "runtime/error_report.h"
#include "shell/main_window.h"
#include "slices/persistence.h"
#include "support/fuzz_support.h"
#include "windows/form1.h"

#include <QCoreApplication>
#include <QFile>
#include <memory>

namespace {

const QString kApp = QString::fromUtf16(kSettingsAppName);
const QString kSection = QStringLiteral("Quorvel Wedge Studio Deluxe");
const QString kSep = QString::fromUtf16(kNameValueSeparator);
const QString kEnd = QString::fromUtf16(kRowTerminator);

struct Slice {
    QString name;
    QString value;
    bool operator==(const Slice&) const = default;
};
using Slices = QList<Slice>;

struct Window {
    FakePlatform fake;
    std::unique_ptr<Form1> form;

    Window() {
        form = std::make_unique<Form1>(fake.platform());
        Form_Load(*form);
    }
    void reset() {
        form->ListView1->clear();
        fake.messages.shown.clear();
    }
    Slices rows() const {
        Slices out;
        for (qsizetype i = 1; i <= form->ListView1->count(); ++i)
            out.append({form->ListView1->text(i), form->ListView1->subItem(i)});
        return out;
    }
    QStringList reports() const {
        QStringList out;
        for (const ShownMessage& m : fake.messages.shown) out.append(m.text);
        return out;
    }
    void restore() {
        GuardedProcedure guard(*fake.platform().messages, "Form1", "Form_Load");
        restoreList(*form, guard);
    }
    void save() {
        GuardedProcedure guard(*fake.platform().messages, "Form1", "Form_QueryUnload");
        saveList(*form, guard);
    }
};

Window& window() {
    static Window w;
    return w;
}

QString describe(const Slices& slices) {
    QStringList out;
    for (const Slice& s : slices) out.append(printable(s.name) + u'=' + printable(s.value));
    return u'[' + out.join(QStringLiteral(", ")) + u']';
}

void checkRestoreOfAnyText(const QString& text) {
    Window& w = window();
    w.reset();
    w.fake.settings.values.insert(FakeSettingsStore::address(kApp, kSection, "Data"), text);
    w.restore();

    // The same split written with Qt's own string splitting.
    Slices expected;
    int missingValues = 0;
    for (const QString& piece : text.split(kEnd)) {
        if (piece.isEmpty()) continue;
        const QStringList fields = piece.split(kSep);
        expected.append({fields.at(0), fields.size() > 1 ? fields.at(1) : QString()});
        if (fields.size() == 1) ++missingValues;
    }
    const Slices rows = w.rows();
    FUZZ_CHECK(rows == expected, printable(text) + " gave " + describe(rows));
    for (const Slice& row : rows) {
        for (const QString& separator : {kSep, kEnd}) {
            FUZZ_CHECK(!row.name.contains(separator) && !row.value.contains(separator),
                       describe({row}));
        }
    }
    const QStringList reports = w.reports();
    FUZZ_CHECK(reports.size() == missingValues, reports.join(u'|'));
    for (const QString& report : reports)
        FUZZ_CHECK(report.contains(u"Form_Load at line 150"), report);
}

// Rows split at U+0001, name and value at U+0002: every other character can be in a text.
Slices listFrom(const QString& text) {
    Slices slices;
    if (text.isEmpty()) return slices;
    for (const QString& row : text.split(QChar(1))) {
        const qsizetype at = row.indexOf(QChar(2));
        slices.append(at < 0 ? Slice{row, QString()} : Slice{row.left(at), row.mid(at + 1)});
    }
    return slices;
}

bool holdsSeparator(const Slices& slices) {
    for (const Slice& s : slices)
        for (const QString& separator : {kSep, kEnd})
            if (s.name.contains(separator) || s.value.contains(separator)) return true;
    return false;
}

void checkRoundTrip(const Slices& list, bool throughSettingsFile) {
    Window& w = window();
    w.reset();
    for (const Slice& s : list)
        w.form->ListView1->setSubItem(w.form->ListView1->add(s.name), s.value);
    std::unique_ptr<QtSettingsStore> file;
    const QString folder = scratchFolder();
    if (throughSettingsFile) {
        QFile::remove(folder + QStringLiteral("/Brakenwel.conf"));
        file = std::make_unique<QtSettingsStore>(folder);
        w.fake.platform().settings = file.get();
    }
    w.save();
    FUZZ_CHECK(w.reports().isEmpty(), w.reports().join(u'|'));
    if (throughSettingsFile) {
        // A new run opens the file afresh.
        file = std::make_unique<QtSettingsStore>(folder);
        w.fake.platform().settings = file.get();
    }
    w.reset();
    w.restore();
    w.fake.platform().settings = &w.fake.settings;
    FUZZ_CHECK(w.reports().isEmpty(), w.reports().join(u'|'));
    // Rows with an empty name and value are stored as a bare separator and come back too.
    FUZZ_CHECK(w.rows() == list, describe(list) + " came back as " + describe(w.rows()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    startFuzzApplication();
    const QByteArray bytes = fuzzBytes(data, size);
    const QString text = QString::fromUtf8(bytes);
    checkRestoreOfAnyText(text);
    const Slices list = listFrom(text);
    if (!holdsSeparator(list)) {
        checkRoundTrip(list, false);
        // The settings file costs a write and a read: one input in four takes it.
        if (size > 0 && data[0] % 4 == 0) checkRoundTrip(list, true);
    }
    // Queued view updates of the list would otherwise pile up between inputs.
    QCoreApplication::processEvents();
    return 0;
}
