#include "runtime/skin.h"
#include "fakes/form_fixture.h"
#include "fakes/program_folder.h"
#include "platform/controls/skin_engine.h"
#include "runtime/titles.h"
#include "slices/persistence.h"
#include "windows/window_look.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString kLoadPath = QStringLiteral("Quorvel2021/08/31.Form1.Form_Load");

// What a control's own colours are: its BackColor and the palette roles it paints itself with.
// The Window role is left out: Qt hands it down from the window to every control that sets none.
struct Look {
    quint32 backColor;
    QColor base, text, button, buttonText;
    bool operator==(const Look&) const = default;
};

Look lookOf(const QWidget& w) {
    const QPalette& p = w.palette();
    return {backColor(w), p.color(QPalette::Base), p.color(QPalette::Text),
            p.color(QPalette::Button), p.color(QPalette::ButtonText)};
}

QColor buttonFace() { return QApplication::palette().color(QPalette::Button); }

void expectColour(const QWidget& w, quint32 colour) {
    SCOPED_TRACE(w.objectName().toStdString());
    EXPECT_EQ(backColor(w), colour);
    EXPECT_EQ(w.palette().color(QPalette::Window),
              colour == kButtonFace ? buttonFace() : QColor(Qt::white));
}

class SkinTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        fake.application.folder = folder.path();
        fake.skin.startParts = 6;  // bits the program must leave alone
    }

    QString skinPath() const { return folder.path() + QStringLiteral("/x/o.cjs"); }

    QStringList engineCallsWithSkin() const {
        return {QStringLiteral("loadSkinFile(%1, \"\")").arg(skinPath()),
                QStringLiteral("popupParts()"),
                QStringLiteral("setPopupParts(7)"),
                QStringLiteral("setSkinControls(true)"),
                QStringLiteral("setSkinMessageBoxes(true)"),
                QStringLiteral("skinWindow(Form1)")};
    }

    // The controls that keep their own colours whatever the skin does.
    QList<QWidget*> ownColourControls(Form1& f) const {
        QList<QWidget*> controls = {f.Text1, f.Text2, f.ListView1};
        for (PushButton* button : pushButtons(f)) controls.append(button);
        return controls;
    }

    ProgramFolder folder;
};

struct FilesCase {
    const char* name;
    bool skin;
    bool cursor;
};

void PrintTo(const FilesCase& c, std::ostream* os) { *os << c.name; }

class SkinFilesTest : public SkinTest, public ::testing::WithParamInterface<FilesCase> {};

TEST_P(SkinFilesTest, ColoursEngineCallsAndPointerPictureFollowTheFiles) {
    const FilesCase files = GetParam();
    if (files.skin) folder.addShipped(kShippedSkin);
    if (files.cursor) folder.addShipped(kShippedCursor);
    Form1 asBuilt(fake.platform());
    Form1& f = load();

    const quint32 expected = files.skin ? kButtonFace : kWhite;
    for (QWidget* w : {static_cast<QWidget*>(&f), static_cast<QWidget*>(f.Frame1),
                       static_cast<QWidget*>(f.Label1), static_cast<QWidget*>(f.Label2)})
        expectColour(*w, expected);
    const QList<QWidget*> built = ownColourControls(asBuilt);
    const QList<QWidget*> loaded = ownColourControls(f);
    for (qsizetype i = 0; i < loaded.size(); ++i) {
        SCOPED_TRACE(loaded[i]->objectName().toStdString());
        EXPECT_EQ(lookOf(*loaded[i]), lookOf(*built[i]));
    }

    EXPECT_EQ(fake.skin.calls, files.skin ? engineCallsWithSkin() : QStringList());
    EXPECT_EQ(f.pointer.MouseIcon.has_value(), files.cursor);
    EXPECT_EQ(f.pointer.MousePointer, 0);
    EXPECT_TRUE(reports().isEmpty()) << reports().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(WithAndWithout, SkinFilesTest,
                         ::testing::Values(FilesCase{"Neither", false, false},
                                           FilesCase{"SkinOnly", true, false},
                                           FilesCase{"CursorOnly", false, true},
                                           FilesCase{"Both", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SkinTest, AFailingEngineCallIsReportedAtLine100AndTheLoadGoesOn) {
    folder.addShipped(kShippedSkin);
    folder.addShipped(kShippedCursor);
    fake.settings.values.insert(
        FakeSettingsStore::address(QString::fromUtf16(kSettingsAppName), productTitle(),
                                   QString::fromUtf16(kDataKey)),
        QStringLiteral("UK") + QString::fromUtf16(kNameValueSeparator) + QStringLiteral("24") +
            QString::fromUtf16(kRowTerminator));
    const QStringList allCalls = engineCallsWithSkin();
    const char* members[] = {"loadSkinFile",    "popupParts",          "setPopupParts",
                             "setSkinControls", "setSkinMessageBoxes", "skinWindow"};
    for (qsizetype at = 0; at < qsizetype(std::size(members)); ++at) {
        SCOPED_TRACE(members[at]);
        fake.skin.calls.clear();
        fake.skin.failAt = QLatin1String(members[at]);
        fake.messages.shown.clear();
        Form1& f = load();

        ASSERT_EQ(reports().size(), 1);
        EXPECT_EQ(reports().front(),
                  QStringLiteral("The skin engine refused %1.\r\nin %2 at line 100\r\r"
                                 "Please email screenshot of this message to "
                                 "support@quorvel.example.com")
                      .arg(QLatin1String(members[at]), kLoadPath));
        EXPECT_EQ(fake.skin.calls, allCalls.mid(0, at + 1)) << "the calls stop at the failure";
        expectColour(f, kButtonFace);
        expectColour(*f.Label2, kButtonFace);
        EXPECT_TRUE(f.pointer.MouseIcon.has_value());
        EXPECT_EQ(f.windowTitle(), productTitle());
        EXPECT_EQ(f.ListView1->items().columns(), 2);
        EXPECT_EQ(rows(), QStringList{QStringLiteral("UK=24")});
    }
}

TEST_F(SkinTest, OnlyAnOrdinaryFileAtExactlyThatPathIsASkin) {
    struct Case {
        const char* name;
        std::function<void(ProgramFolder&)> make;
        bool skinned;
    };
    const Case cases[] = {
        {"nothing there", [](ProgramFolder&) {}, false},
        {"a folder of that name", [](ProgramFolder& d) { d.makeFolder(kShippedSkin); }, false},
        {"a link to nothing",
         [](ProgramFolder& d) {
             d.makeFolder(QStringLiteral("x"));
             QFile::link(d.path() + QStringLiteral("/x/gone.cjs"),
                         d.path() + QStringLiteral("/x/o.cjs"));
         },
         false},
        {"a link to a folder",
         [](ProgramFolder& d) {
             d.makeFolder(QStringLiteral("skins"));
             d.makeFolder(QStringLiteral("x"));
             QFile::link(d.path() + QStringLiteral("/skins"),
                         d.path() + QStringLiteral("/x/o.cjs"));
         },
         false},
        {"an empty file", [](ProgramFolder& d) { d.write(kShippedSkin, QByteArray()); }, true},
        {"a link to a skin",
         [](ProgramFolder& d) {
             d.write(QStringLiteral("skins/blue.cjs"), "a{}");
             d.makeFolder(QStringLiteral("x"));
             QFile::link(d.path() + QStringLiteral("/skins/blue.cjs"),
                         d.path() + QStringLiteral("/x/o.cjs"));
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder place;
        c.make(place);
        fake.application.folder = place.path();
        fake.skin.calls.clear();
        Form1& f = load();
        EXPECT_EQ(fake.skin.calls.size(), c.skinned ? 6 : 0);
        expectColour(f, c.skinned ? kButtonFace : kWhite);
        expectColour(*f.Frame1, c.skinned ? kButtonFace : kWhite);
        EXPECT_TRUE(reports().isEmpty());
    }
}

TEST_F(SkinTest, AWindowWithoutAnEngineReportsAtLine100AfterTheColours) {
    folder.addShipped(kShippedSkin);
    fake.platform().newSkinEngine = nullptr;
    Form1& f = load();
    ASSERT_EQ(reports().size(), 1);
    EXPECT_TRUE(reports().front().startsWith(
        QStringLiteral("The skin engine is not available.\r\nin %1 at line 100").arg(kLoadPath)));
    expectColour(f, kButtonFace);
    EXPECT_EQ(f.windowTitle(), productTitle());
}

TEST_F(SkinTest, MainWindowControlsComeInTheLayoutOrder) {
    Form1 f(fake.platform());
    QStringList names;
    for (QWidget* control : windowControls(f)) names.append(control->objectName());
    EXPECT_EQ(names, QStringList({"PushButton4", "Frame1", "Label1", "Text1", "Label2", "Text2",
                                  "PushButton2", "PushButton3", "PushButton6", "ListView1",
                                  "PushButton5", "PushButton7", "PushButton1"}));
}

TEST(ButtonFaceColour, ColoursOnlyTheWindowAndItsOptionCheckFrameAndLabelControls) {
    QDialog window;
    auto* option = new QRadioButton(QStringLiteral("A"), &window);
    auto* check = new QCheckBox(QStringLiteral("B"), &window);
    auto* frame = new QGroupBox(QStringLiteral("C"), &window);
    auto* inFrame = new QLabel(QStringLiteral("D"), frame);
    auto* box = new QLineEdit(&window);
    auto* button = new QPushButton(QStringLiteral("E"), &window);
    // A control of its own make with a label inside, as a chart may have.
    auto* chart = new QWidget(&window);
    auto* chartPart = new QLabel(QStringLiteral("legend"), chart);
    auto* picture = new QLabel(&window);
    setControlKind(*picture, ControlKind::PictureBox);
    setBackColor(*picture, kWindowBackground);
    auto* ownedWindow = new QDialog(&window);
    auto* ownedLabel = new QLabel(QStringLiteral("F"), ownedWindow);

    const QList<QWidget*> unchanged = {box, button, chart, chartPart, ownedWindow, ownedLabel};
    QList<Look> before;
    for (QWidget* w : unchanged) before.append(lookOf(*w));

    ApplyButtonFaceColor(window);

    for (QWidget* w : {static_cast<QWidget*>(&window), static_cast<QWidget*>(option),
                       static_cast<QWidget*>(check), static_cast<QWidget*>(frame),
                       static_cast<QWidget*>(inFrame)})
        expectColour(*w, kButtonFace);
    for (qsizetype i = 0; i < unchanged.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lookOf(*unchanged[i]), before[i]);
        EXPECT_FALSE(unchanged[i]->property("BackColor").isValid());
    }
    EXPECT_EQ(backColor(*picture), kWindowBackground);
}

TEST(ButtonFaceColour, FollowsTheApplicationPalette) {
    const QPalette saved = QApplication::palette();
    QDialog window;
    auto* label = new QLabel(QStringLiteral("A"), &window);
    auto* white = new QLabel(QStringLiteral("B"), &window);
    ApplyButtonFaceColor(window);
    setBackColor(*white, kWhite);

    QPalette changed = saved;
    changed.setColor(QPalette::Button, QColor(0x80, 0x20, 0x20));
    QApplication::setPalette(changed);
    QCoreApplication::processEvents();  // Qt posts the news of a new palette
    const QColor nowWindow = window.palette().color(QPalette::Window);
    const QColor nowLabel = label->palette().color(QPalette::Window);
    const QColor nowWhite = white->palette().color(QPalette::Window);
    QApplication::setPalette(saved);
    QCoreApplication::processEvents();

    EXPECT_EQ(nowWindow, QColor(0x80, 0x20, 0x20));
    EXPECT_EQ(nowLabel, QColor(0x80, 0x20, 0x20));
    EXPECT_EQ(nowWhite, QColor(Qt::white));
    EXPECT_EQ(backColor(window), kButtonFace);
    EXPECT_EQ(window.palette().color(QPalette::Window), saved.color(QPalette::Button));
}

}  // namespace
