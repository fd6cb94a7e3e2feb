#include "platform/skin_engine.h"
#include "fakes/form_fixture.h"
#include "fakes/program_folder.h"
#include "windows/form2.h"
#include "windows/window_look.h"

#include <sys/stat.h>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

namespace {

// Collects Qt's warnings, so a skin that Qt cannot parse shows up in a test.
class QtWarnings {
  public:
    QtWarnings() {
        current() = this;
        previous_ = qInstallMessageHandler(&QtWarnings::handle);
    }
    ~QtWarnings() {
        qInstallMessageHandler(previous_);
        current() = nullptr;
    }
    QStringList messages;

  private:
    static QtWarnings*& current() {
        static QtWarnings* instance = nullptr;
        return instance;
    }
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && current()) current()->messages.append(text);
    }
    QtMessageHandler previous_;
};

// The application's style sheet belongs to the whole test run; each test leaves it empty.
class ApplicationSheetScope {
  public:
    ~ApplicationSheetScope() { qApp->setStyleSheet(QString()); }
};

TEST(SkinSections, SplitsAtMarkerCommentsOnly) {
    struct Case {
        const char* name;
        const char* sheet;
        QMap<QString, QString> sections;
    };
    const Case cases[] = {
        {"no marker", "a {}", {{"window", "a {}"}}},
        {"markers",
         "a {} /* @controls */ b {}/*@tool-tips*/c {}",
         {{"window", "a {} "}, {"controls", " b {}"}, {"tool-tips", "c {}"}}},
        {"ordinary comments stay",
         "/* the look */ a {} /* @menus */ /* x */ m {}",
         {{"window", "/* the look */ a {} "}, {"menus", " /* x */ m {}"}}},
        {"a marker inside a string is text",
         "a { image: url(\"/* @menus */.png\") }",
         {{"window", "a { image: url(\"/* @menus */.png\") }"}}},
        {"repeated sections join",
         "/* @controls */a{}/* @window */w{}/* @controls */b{}",
         {{"window", "w{}"}, {"controls", "a{}b{}"}}},
        {"unknown markers keep their own section",
         "a{}/* @Someday */s{}",
         {{"window", "a{}"}, {"someday", "s{}"}}},
        {"an open comment runs to the end", "a{} /* @controls", {{"window", "a{} /* @controls"}}},
        {"a note that starts like a marker",
         "/* @controls are next */ a{}",
         {{"window", "/* @controls are next */ a{}"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SkinSections got = splitSkinSections(QString::fromUtf8(c.sheet));
        got.removeIf([](auto it) { return it.value().isEmpty(); });
        EXPECT_EQ(got, c.sections);
    }
}

TEST(SkinUrls, RelativePathsResolveUnderTheFolder) {
    const struct {
        const char* sheet;
        const char* resolved;
    } cases[] = {
        {"a { image: url(img/up.png) }", "a { image: url(\"/skins/img/up.png\") }"},
        {"a { image: url( 'up.png' ) }", "a { image: url(\"/skins/up.png\") }"},
        {"a { image: url(\"../up.png\") }", "a { image: url(\"/up.png\") }"},
        {"a { image: url(/abs/up.png) }", "a { image: url(/abs/up.png) }"},
        {"a { image: url(:/qt/up.png) }", "a { image: url(:/qt/up.png) }"},
        {"a { image: url() }", "a { image: url() }"},
        {"a { color: red }", "a { color: red }"},
        // Escaped quotes stay inside the string, and the path keeps them escaped.
        {"a { image: url(\"my \\\"up\\\".png\") }",
         "a { image: url(\"/skins/my \\\"up\\\".png\") }"},
        {"a { image: url('it\\'s.png') b: url(x.png) }",
         "a { image: url(\"/skins/it's.png\") b: url(\"/skins/x.png\") }"},
        // Inside a string or a comment url() is text; so is a name that only ends in "url".
        {"a { qproperty-text: \"see url(help.png)\" } /* url(old.png) */",
         "a { qproperty-text: \"see url(help.png)\" } /* url(old.png) */"},
        {"a { image: myurl(x.png); b: URL(y.png) }",
         "a { image: myurl(x.png); b: url(\"/skins/y.png\") }"},
        // A string left open swallows the rest, as in CSS.
        {"a { image: url('x.png\") } b { image: url(y.png) }",
         "a { image: url('x.png\") } b { image: url(y.png) }"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sheet);
        const QString resolved =
            resolveSkinUrls(QString::fromUtf8(c.sheet), QStringLiteral("/skins"));
        EXPECT_EQ(resolved, QString::fromUtf8(c.resolved));
        EXPECT_EQ(resolveSkinUrls(resolved, QStringLiteral("/skins")), resolved) << "twice is once";
    }
}

TEST(QtSkinEngine, OnlyRegularFilesAreTakenAsPictures) {
    ProgramFolder folder;
    folder.write(QStringLiteral("up.png"), "picture");
    folder.makeFolder(QStringLiteral("dir.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.path() + QStringLiteral("/pipe.png")), 0600), 0);
    folder.write(QStringLiteral("s.cjs"),
                 "a { image: url(up.png) } b { image: url(pipe.png) } c { image: url(dir.png) }");
    QtSkinEngine engine;
    ASSERT_TRUE(engine.loadSkinFile(folder.path() + QStringLiteral("/s.cjs"), QString()));
    EXPECT_EQ(engine.windowSheet(), QStringLiteral("a { image: url(\"%1/up.png\") } b { image: "
                                                   "url(\"\") } c { image: url(\"\") }")
                                        .arg(folder.path()));
}

TEST(QtSkinEngine, AFileThatIsNoSkinLoadsNothingAndDrawsNothing) {
    ProgramFolder folder;
    folder.makeFolder(QStringLiteral("a-folder"));
    folder.write(QStringLiteral("nul.cjs"), QByteArray("a { color: red }\0junk", 21));
    folder.write(QStringLiteral("latin1.cjs"), "a { color: r\xe9\xe9 }");
    folder.write(QStringLiteral("huge.cjs"),
                 QByteArray(int(QtSkinEngine::kMaxSkinBytes) + 1, ' ') + "a { color: red }");
    for (const char* name : {"missing.cjs", "a-folder", "nul.cjs", "latin1.cjs", "huge.cjs"}) {
        SCOPED_TRACE(name);
        QtSkinEngine engine;
        engine.setSkinControls(true);
        EXPECT_FALSE(engine.loadSkinFile(folder.path() + u'/' + QLatin1String(name), QString()));
        QWidget window;
        auto* control = new QPushButton(&window);
        control->setStyleSheet(QStringLiteral("QWidget { color: blue }"));
        engine.skinWindow(window);
        EXPECT_EQ(control->styleSheet(), QStringLiteral("QWidget { color: blue }"));
    }
}

TEST(QtSkinEngine, TheSwitchesAndPartsChooseTheSections) {
    ProgramFolder folder;
    folder.write(QStringLiteral("s.cjs"),
                 "W{}/* @controls */C{}/* @tool-tips */T{}/* @menus */M{}"
                 "/* @message-boxes */B{}/* @other */O{}/* @controls:dark */D{}"
                 "/* @controls:light */L{}/* @message-boxes:dark */E{}");
    struct Case {
        const char* name;
        qint32 parts;
        bool controls;
        bool boxes;
        const char* window;
        const char* messageBoxes;
    };
    const Case cases[] = {
        {"nothing on", 0, false, false, "W{}", ""},
        {"controls", 0, true, false, "W{}C{}L{}", ""},
        {"tool tips", SkinEngine::kToolTips, false, false, "W{}T{}", ""},
        {"menus", SkinEngine::kMenus, false, false, "W{}M{}", ""},
        {"message boxes", 0, false, true, "W{}", "B{}"},
        {"all", SkinEngine::kToolTips | SkinEngine::kMenus, true, true, "W{}C{}L{}T{}M{}", "B{}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ApplicationSheetScope sheetScope;
        QtSkinEngine engine;
        ASSERT_TRUE(engine.loadSkinFile(folder.path() + QStringLiteral("/s.cjs"), QString()));
        engine.setPopupParts(c.parts);
        engine.setSkinControls(c.controls);
        engine.setSkinMessageBoxes(c.boxes);
        EXPECT_EQ(engine.popupParts(), c.parts);
        QWidget window;
        auto* control = new QLabel(&window);
        engine.skinWindow(window);
        EXPECT_EQ(control->styleSheet(), QLatin1String(c.window));
        EXPECT_EQ(qApp->styleSheet(), QLatin1String(c.messageBoxes));
        if (!c.controls || !c.boxes) continue;
        // A desktop that turns dark while the program runs gets the dark variants.
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Window, Qt::black);
        dark.setColor(QPalette::WindowText, Qt::white);
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();  // Qt posts the news of a new palette
        EXPECT_EQ(control->styleSheet(), QStringLiteral("W{}C{}D{}T{}M{}"));
        EXPECT_EQ(qApp->styleSheet(), QStringLiteral("B{}E{}"));
        QApplication::setPalette(light);
        QCoreApplication::processEvents();
    }
}

TEST(QtSkinEngine, UrlsResolveAgainstTheGivenFolderOrTheSkinsOwn) {
    ProgramFolder folder;
    folder.write(QStringLiteral("x/s.cjs"), "a { image: url(up.png) }");
    const QString skin = folder.path() + QStringLiteral("/x/s.cjs");
    for (const QString& given : {QString(), QStringLiteral("/elsewhere")}) {
        QtSkinEngine engine;
        ASSERT_TRUE(engine.loadSkinFile(skin, given));
        const QString base = given.isEmpty() ? folder.path() + QStringLiteral("/x") : given;
        EXPECT_EQ(engine.windowSheet(),
                  QStringLiteral("a { image: url(\"%1/up.png\") }").arg(base));
    }
}

TEST(QtSkinEngine, TheShippedSkinHasEverySectionAndParses) {
    ProgramFolder folder;
    folder.addShipped(kShippedSkin);
    const SkinSections sections =
        splitSkinSections(QString::fromUtf8(ProgramFolder::shippedBytes(kShippedSkin)));
    for (const char* name : {"window", "controls", "tool-tips", "menus", "message-boxes"})
        EXPECT_TRUE(sections.value(QLatin1String(name)).contains(u'{')) << name;

    ApplicationSheetScope sheetScope;
    QtWarnings warnings;
    QtSkinEngine engine;
    ASSERT_TRUE(engine.loadSkinFile(folder.path() + u'/' + kShippedSkin, QString()));
    engine.setPopupParts(SkinEngine::kToolTips | SkinEngine::kMenus);
    engine.setSkinControls(true);
    engine.setSkinMessageBoxes(true);
    QWidget window;
    new QPushButton(QStringLiteral("A"), &window);
    new QLabel(QStringLiteral("B"), &window);
    engine.skinWindow(window);
    window.ensurePolished();
    (void)window.grab();
    EXPECT_TRUE(warnings.messages.isEmpty()) << warnings.messages.join(u'\n').toStdString();
}

class SkinnedMainWindowTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        fake.application.folder = folder.path();
        fake.platform().newSkinEngine = [] { return std::make_unique<QtSkinEngine>(); };
    }
    QColor backgroundPixel() {
        // A corner of the window's own background, clear of every control.
        return form->grab().toImage().pixelColor(3, 3);
    }
    ProgramFolder folder;
    ApplicationSheetScope sheetScope;
};

TEST_F(SkinnedMainWindowTest, TheShippedSkinDrawsTheWindowOnTheButtonFace) {
    folder.addShipped(kShippedSkin);
    QtWarnings warnings;
    Form1& f = load();
    EXPECT_TRUE(f.PushButton1->styleSheet().contains(QStringLiteral("QPushButton")));
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("QMessageBox")));
    EXPECT_EQ(backgroundPixel(), QApplication::palette().color(QPalette::Button));
    // The windows it owns, the chart window and the dialogs, keep the look they have unskinned.
    QWidget unskinned;
    Form2 owned(fake.platform(), &f);
    Form2 alone(fake.platform(), &unskinned);
    EXPECT_EQ(owned.PushButton1->grab().toImage(), alone.PushButton1->grab().toImage());
    EXPECT_TRUE(warnings.messages.isEmpty()) << warnings.messages.join(u'\n').toStdString();
    EXPECT_TRUE(reports().isEmpty());
}

TEST_F(SkinnedMainWindowTest, TheListsToolTipTakesTheSkin) {
    folder.addShipped(kShippedSkin);
    Form1& f = load();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QToolTip::showText(f.ListView1->mapToGlobal(QPoint(10, 10)), f.ListView1->toolTip(),
                       f.ListView1);
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
    ASSERT_NE(tip, nullptr);
    const QColor inside = tip->grab().toImage().pixelColor(2, 2);
    QToolTip::hideText();
    EXPECT_EQ(inside, QColor(0xfd, 0xf7, 0xe3));
}

TEST_F(SkinnedMainWindowTest, ASkinThatDoesNotLoadGoesUnnoticedAndLeavesTheWindowUsable) {
    const QByteArray broken[] = {QByteArray("\x00\x01\x02 not a sheet", 16),
                                 "QPushButton { color: ", "}}}} {{{{ ::: ;;", "\xff\xfe\xfd"};
    for (const QByteArray& bytes : broken) {
        SCOPED_TRACE(bytes.toStdString());
        folder.write(kShippedSkin, bytes);
        fake.messages.shown.clear();
        Form1& f = load();
        EXPECT_TRUE(reports().isEmpty());
        EXPECT_EQ(backColor(f), kButtonFace);
        EXPECT_EQ(backgroundPixel(), QApplication::palette().color(QPalette::Button));
        EXPECT_TRUE(f.PushButton1->isEnabled());
        EXPECT_GT(f.PushButton1->sizeHint().height(), 0);
    }
}

}  // namespace
