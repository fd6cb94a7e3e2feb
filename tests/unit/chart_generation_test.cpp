#include "chart/chart_generation.h"
#include "fakes/chart_fixture.h"
#include "fakes/form_fixture.h"
#include "runtime/titles.h"
#include "slices/manual_entry.h"
#include "windows/form2.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>

namespace {

const QString kGenerate = QStringLiteral("Quorvel2021/08/31.Form1.PushButton1_Click");
const QString kFont = QStringLiteral("Quorvel2021/08/31.Form1.PushButton5_Click");

// What the chart window's construction does to its chart before any handler runs.
const QStringList kBuilt = {QStringLiteral("width 9510"), QStringLiteral("height 6720"),
                            QStringLiteral("visible false")};

QStringList sliceOperations(int column, const QString& label, const QString& value) {
    return {QStringLiteral("columnCount %1").arg(column), QStringLiteral("column %1").arg(column),
            QStringLiteral("columnLabel ") + label, QStringLiteral("data ") + value,
            QStringLiteral("filledColumnCount %1").arg(column)};
}

struct SeenChart {
    bool shown = false;
    QString caption;
    bool visible = false;
    QStringList labels;
    std::vector<double> values;
    QFont font;
    Form2* window = nullptr;
};

class ChartGenerationTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        load();
        fake.onModal = [this](QDialog& dialog) {
            auto& window = dynamic_cast<Form2&>(dialog);
            PieChart& pie = pieOf(*window.MSChart1);
            seen.shown = true;
            seen.window = &window;
            seen.caption = window.windowTitle();
            seen.visible = !pie.widget().isHidden();
            seen.labels.clear();
            seen.values.clear();
            for (const PieSlice& s : pie.slices()) {
                seen.labels.append(s.label);
                seen.values.push_back(s.value);
            }
            seen.font = pie.legendFont();
        };
    }
    void generate() {
        seen = SeenChart();
        fake.chartLog.clear();
        PushButton1_Click(*form);
    }
    void chooseFont(const QString& face, float size, bool bold, bool italic) {
        fake.dialogAnswers.push_back([=](CommonDialog& d) {
            d.FontName = face;
            d.FontSize = size;
            d.FontBold = bold;
            d.FontItalic = italic;
        });
        PushButton5_Click(*form);
    }

    SeenChart seen;
};

}  // namespace

TEST_F(ChartGenerationTest, SampleRowsGiveOneSlicePerRowInOrder) {
    PushButton6_Click(*form);
    generate();
    QStringList expected = kBuilt;
    expected << QStringLiteral("legendFontName ") << QStringLiteral("legendFontSize 8")
             << QStringLiteral("visible true") << QStringLiteral("rowCount 1");
    const char16_t* rows[][2] = {{u"UK", u"24"},
                                 {u"US", u"20"},
                                 {u"Australia", u"8"},
                                 {u"Germany", u"32"},
                                 {u"France", u"16"}};
    int column = 0;
    for (const auto& row : rows)
        expected << sliceOperations(
            ++column,
            QString::fromUtf16(row[0]) + QStringLiteral(" - ") + QString::fromUtf16(row[1]),
            QString::fromUtf16(row[1]));
    EXPECT_EQ(fake.chartLog, expected);
    EXPECT_EQ(fake.modalShows, 1);
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(seen.caption, productTitle());
    EXPECT_EQ(seen.labels,
              QStringList({"UK - 24", "US - 20", "Australia - 8", "Germany - 32", "France - 16"}));
    EXPECT_EQ(seen.values, std::vector<double>({24, 20, 8, 32, 16}));
    EXPECT_TRUE(reports().isEmpty());
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ChartGenerationTest, HandTypedValuesBecomeCanonicalNumbers) {
    struct Case {
        const char16_t* value;
        const char16_t* label;
        double number;
    };
    const Case cases[] = {{u" 7 ", u"Tea - 7", 7},
                          {u"3.50", u"Tea - 3.5", 3.5},
                          {u"1e3", u"Tea - 1000", 1000},
                          {u"1,000", u"Tea - 1000", 1000},
                          {u"-0.25", u"Tea - -0.25", -0.25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.value).toStdString());
        form->ListView1->clear();
        addRow(QStringLiteral("Tea"), QString::fromUtf16(c.value));
        generate();
        EXPECT_EQ(seen.labels, QStringList(QString::fromUtf16(c.label)));
        EXPECT_EQ(seen.values, std::vector<double>({c.number}));
    }
    EXPECT_TRUE(reports().isEmpty());
}

TEST_F(ChartGenerationTest, NamesStayAsTypedAndRepeatsGiveRepeatedSlices) {
    addRow(QStringLiteral("Tea, black "), QStringLiteral("2"));
    addRow(QStringLiteral("Tea, black "), QStringLiteral("2"));
    generate();
    EXPECT_EQ(seen.labels, QStringList({"Tea, black  - 2", "Tea, black  - 2"}));
}

TEST_F(ChartGenerationTest, ListsThatGiveNoChart) {
    struct Case {
        const char* name;
        std::vector<std::pair<QString, QString>> rows;
        QStringList messages;
    };
    const Case cases[] = {
        {"empty list", {}, {}},
        {"one empty value",
         {{"UK", "24"}, {"US", ""}, {"France", "16"}},
         {"All values must be numbers."}},
        {"a word for a value", {{"UK", "twenty"}}, {"All values must be numbers."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->ListView1->clear();
        fake.messages.shown.clear();
        for (const auto& [name, value] : c.rows) addRow(name, value);
        const QStringList before = rows();
        generate();
        EXPECT_EQ(fake.messages.texts(), c.messages);
        EXPECT_EQ(fake.modalShows, 0);
        EXPECT_TRUE(fake.chartLog.isEmpty()) << "the chart window was loaded";
        EXPECT_EQ(rows(), before);
        for (const ShownMessage& m : fake.messages.shown) {
            EXPECT_EQ(m.title, applicationTitle());
            EXPECT_EQ(m.icon, MessageIcon::None);
        }
    }
}

TEST_F(ChartGenerationTest, MoreRowsThanTheChartHoldsGiveAMessageAndNoWindow) {
    for (int i = 0; i <= kMaxChartSlices; ++i)
        addRow(QStringLiteral("R%1").arg(i), QStringLiteral("1"));
    generate();
    EXPECT_EQ(fake.messages.texts(), QStringList("The chart holds at most 32,767 slices."));
    EXPECT_EQ(fake.modalShows, 0);
    EXPECT_TRUE(fake.chartLog.isEmpty());
    EXPECT_EQ(form->ListView1->count(), kMaxChartSlices + 1);
    EXPECT_EQ(form->ListView1->text(kMaxChartSlices + 1), QStringLiteral("R32767"));

    form->ListView1->remove(1);
    fake.messages.shown.clear();
    generate();
    EXPECT_TRUE(fake.messages.shown.empty());
    EXPECT_EQ(seen.labels.size(), kMaxChartSlices);
    EXPECT_EQ(seen.labels.last(), QStringLiteral("R32767 - 1"));
}

TEST_F(ChartGenerationTest, EveryGenerationGetsAFreshWindowWithOnlyItsRows) {
    PushButton6_Click(*form);
    generate();
    ASSERT_EQ(seen.labels.size(), 5);
    form->ListView1->clear();
    addRow(QStringLiteral("Tea"), QStringLiteral("3"));
    generate();
    EXPECT_EQ(seen.labels, QStringList("Tea - 3"));
    EXPECT_EQ(fake.chartLog.mid(0, 3), kBuilt) << "the second chart starts from the layout";
    EXPECT_EQ(fake.modalShows, 2);
}

TEST_F(ChartGenerationTest, TheFontChoiceStylesTheLegend) {
    struct Case {
        const char* name;
        std::function<void()> choose;
        QStringList fontOperations;
        QString face;
        float size;
        bool bold;
        bool italic;
    };
    const Case cases[] = {
        {"never chosen",
         [] {},
         {"legendFontName ", "legendFontSize 8"},
         QString(),
         8,
         false,
         false},
        {"bold",
         [&] { chooseFont("Arial", 10, true, false); },
         {"legendFontStyle 1", "legendFontName Arial", "legendFontSize 10"},
         "Arial",
         10,
         true,
         false},
        {"Times New Roman bold italic 14",
         [&] { chooseFont("Times New Roman", 14, true, true); },
         {"legendFontStyle 1", "legendFontStyle 2", "legendFontName Times New Roman",
          "legendFontSize 14"},
         "Times New Roman",
         14,
         false,
         true},
        {"Cancel after a choice",
         [&] {
             chooseFont("Courier New", 12, true, false);
             PushButton5_Click(*form);  // no answer left: the dialog is cancelled
         },
         {"legendFontStyle 1", "legendFontName Arial", "legendFontSize 12"},
         "Arial",
         12,
         true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form = nullptr;
        load();
        addRow(QStringLiteral("Tea"), QStringLiteral("3"));
        c.choose();
        generate();
        EXPECT_EQ(fake.chartLog.mid(kBuilt.size(), c.fontOperations.size()), c.fontOperations);
        if (!c.face.isEmpty()) {
            EXPECT_EQ(seen.font.family(), c.face);
        } else {
            EXPECT_EQ(seen.font.styleHint(), QFont::SansSerif);
        }
        EXPECT_EQ(seen.font.pointSizeF(), c.size);
        EXPECT_EQ(seen.font.bold(), c.bold);
        EXPECT_EQ(seen.font.italic(), c.italic);
    }
}

TEST_F(ChartGenerationTest, ChangeFontPresetsArialAndScreenFonts) {
    form->CommonDialog1->FontName = QStringLiteral("Verdana");
    QString faceWhenShown;
    qint32 flagsWhenShown = -1;
    fake.dialogAnswers.push_back([&](CommonDialog& d) {
        faceWhenShown = d.FontName;
        flagsWhenShown = d.Flags;
    });
    PushButton5_Click(*form);
    EXPECT_EQ(fake.dialogCalls, QStringList("font"));
    EXPECT_EQ(faceWhenShown, u"Arial");
    EXPECT_EQ(flagsWhenShown, 1);
    EXPECT_TRUE(fake.messages.shown.empty());
}

TEST(FontDialog, OpensOnThePresetFaceAndTheChoiceAndOkWithoutAChangeKeepsThem) {
    struct Case {
        float size;
        bool bold, italic;
        qint32 flags;
    };
    for (const Case& c : {Case{8, false, false, kCfScreenFonts}, Case{14, true, true, 1},
                          Case{11, false, true, 1}, Case{20, true, false, kCfEffects}}) {
        SCOPED_TRACE(c.size);
        QtCommonDialog d(nullptr);
        std::tie(d.Flags, d.FontName, d.FontSize, d.FontBold, d.FontItalic) =
            std::tuple(c.flags, QStringLiteral("Arial"), c.size, c.bold, c.italic);
        const auto choice = [&] {
            return std::tuple(d.FontName, d.FontSize, d.FontBold, d.FontItalic);
        };
        QFontDialog dialog;
        prepareFontDialog(dialog, d);
        // Shown as the installed face that stands for Arial, not the dialog's first entry.
        const QFont shown = dialog.currentFont();
        EXPECT_EQ(shown.family(), QFontInfo(QFont(QStringLiteral("Arial"))).family());
        EXPECT_EQ(std::tuple(shown.pointSize(), shown.bold(), shown.italic()),
                  std::tuple(int(c.size), c.bold, c.italic));
        const QList<QCheckBox*> effects = dialog.findChildren<QCheckBox*>();
        EXPECT_FALSE(effects.isEmpty()) << "the effects are found by their check boxes";
        for (const QCheckBox* effect : effects)
            EXPECT_EQ(effect->isVisibleTo(&dialog), bool(c.flags & kCfEffects));
        // With or without the effects beside it, the sample shows its whole line.
        dialog.show();
        int samples = 0;
        for (const QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
            const auto* sample = group->findChild<QLineEdit*>();
            if (!sample || group->findChild<QCheckBox*>()) continue;
            ++samples;
            EXPECT_GE(sample->height(), QFontMetrics(sample->font()).height());
        }
        EXPECT_EQ(samples, 1);
        dialog.accept();
        takeFontChoice(d, shown, dialog.selectedFont());
        EXPECT_EQ(choice(), std::tuple(QStringLiteral("Arial"), c.size, c.bold, c.italic));
        takeFontChoice(d, shown, QFont(QStringLiteral("DejaVu Serif"), 17));
        EXPECT_EQ(choice(), std::tuple(QStringLiteral("DejaVu Serif"), 17.0f, false, false));
    }
}

TEST_F(ChartGenerationTest, AFailedStatementIsReportedAtItsLineAndGenerationGoesOn) {
    struct Case {
        int line;
        std::vector<int> reports;
        std::function<void(const SeenChart&, const QStringList& log)> check;
    };
    auto has = [](const QStringList& log, const char* op) {
        return log.contains(QLatin1String(op));
    };
    const std::vector<int> perSlice140 = [] {
        std::vector<int> lines;
        for (int i = 0; i < 5; ++i) lines.insert(lines.end(), {140, 142, 144, 146});
        return lines;
    }();
    const Case cases[] = {
        {100, {100, 100}, [](const SeenChart& s, auto&) { EXPECT_EQ(s.labels.size(), 5); }},
        {102, {102}, [](const SeenChart& s, auto&) { EXPECT_EQ(s.labels.size(), 5); }},
        {104,
         {104},
         [&](auto&, const QStringList& log) { EXPECT_TRUE(has(log, "legendFontStyle 1")); }},
        {106,
         {106},
         [&](auto&, const QStringList& log) { EXPECT_FALSE(has(log, "legendFontStyle 1")); }},
        {108,
         {108},
         [&](auto&, const QStringList& log) { EXPECT_TRUE(has(log, "legendFontStyle 2")); }},
        {110,
         {110},
         [&](const SeenChart& s, const QStringList& log) {
             EXPECT_FALSE(has(log, "legendFontStyle 2"));
             EXPECT_TRUE(s.font.bold());
         }},
        {112,
         {112},
         [](const SeenChart& s, auto&) { EXPECT_EQ(s.font.styleHint(), QFont::SansSerif); }},
        {114, {114}, [](const SeenChart& s, auto&) { EXPECT_EQ(s.font.pointSizeF(), 8); }},
        {124, {124}, [](const SeenChart& s, auto&) { EXPECT_FALSE(s.visible); }},
        {126, {126}, [&](auto&, const QStringList& log) { EXPECT_FALSE(has(log, "rowCount 1")); }},
        {130, {130}, [](const SeenChart& s, auto&) { EXPECT_TRUE(s.labels.isEmpty()); }},
        {138,
         {138, 140, 142, 144, 146},
         [](const SeenChart& s, auto&) { EXPECT_TRUE(s.labels.isEmpty()); }},
        {140, perSlice140, [](const SeenChart& s, auto&) { EXPECT_TRUE(s.labels.isEmpty()); }},
        {142,
         {142, 142, 142, 142, 142},
         [](const SeenChart& s, auto&) {
             // Every label lands in the column that stayed current.
             EXPECT_EQ(s.labels.first(), u"France - 16");
         }},
        {144,
         {144, 144, 144, 144, 144},
         [](const SeenChart& s, auto&) {
             EXPECT_EQ(s.labels, QStringList(5, QString()));
             EXPECT_EQ(s.values, std::vector<double>({24, 20, 8, 32, 16}));
         }},
        {146,
         {146, 146, 146, 146, 146},
         [](const SeenChart& s, auto&) {
             EXPECT_EQ(s.values, std::vector<double>(5, 0.0));
             EXPECT_EQ(s.labels.size(), 5);
         }},
        {148,
         {148, 148, 148, 148, 148},
         [](const SeenChart& s, auto&) { EXPECT_EQ(s.labels.size(), 5); }},
        {150,
         {150},
         [](const SeenChart& s, auto&) { EXPECT_EQ(s.labels, QStringList("UK - 24")); }},
        {156, {156}, [](const SeenChart& s, auto&) { EXPECT_FALSE(s.shown); }},
    };
    PushButton6_Click(*form);
    chooseFont("Times New Roman", 14, true, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        fake.messages.shown.clear();
        failStatement(kGenerate, c.line, QStringLiteral("Injected %1").arg(c.line));
        generate();
        clearStatementFaults();
        EXPECT_EQ(reportLines(fake.messages), c.reports);
        EXPECT_EQ(reportDescriptions(fake.messages).value(0),
                  QStringLiteral("Injected %1").arg(c.line));
        c.check(seen, fake.chartLog);
        EXPECT_EQ(rows().size(), 5);
    }
}

TEST_F(ChartGenerationTest, AFailedMessageIsReportedAtItsLine) {
    addRow(QStringLiteral("UK"), QString());
    failStatement(kGenerate, 158);
    generate();
    EXPECT_EQ(reportLines(fake.messages), std::vector<int>({158}));
    EXPECT_EQ(fake.modalShows, 0);
}

TEST_F(ChartGenerationTest, AFailedChangeFontStatementIsReportedAtItsLine) {
    struct Case {
        int line;
        QString faceWhenShown;
        bool shown;
    };
    for (const Case& c :
         {Case{100, "Arial", true}, Case{102, "Verdana", true}, Case{104, "", false}}) {
        SCOPED_TRACE(c.line);
        fake.messages.shown.clear();
        fake.dialogCalls.clear();
        form->CommonDialog1->FontName = QStringLiteral("Verdana");
        form->CommonDialog1->Flags = 0;
        QString face;
        fake.dialogAnswers.clear();
        fake.dialogAnswers.push_back([&](CommonDialog& d) { face = d.FontName; });
        failStatement(kFont, c.line);
        PushButton5_Click(*form);
        clearStatementFaults();
        EXPECT_EQ(reportLines(fake.messages), std::vector<int>({c.line}));
        EXPECT_EQ(fake.dialogCalls.size(), c.shown ? 1 : 0);
        if (c.shown) {
            EXPECT_EQ(face, c.faceWhenShown);
        }
        EXPECT_EQ(form->CommonDialog1->Flags, c.line == 100 ? 0 : 1);
    }
}
