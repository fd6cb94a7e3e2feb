#include "fakes/form_fixture.h"
#include "fakes/program_folder.h"
#include "platform/message_box.h"
#include "platform/skin_engine.h"
#include "windows/form2.h"
#include "windows/window_look.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>
#include <QToolTip>
#include <functional>

namespace {

// Desktop palettes as Qt reads them: the default, GTK's Adwaita:dark through the gtk3 platform
// theme, qt6ct's darker.conf, and high-contrast black and white.
struct DesktopPalette {
    const char* name;
    // window, window text, base, text, button, button text, light, mid, dark, tool tip, tip text
    QRgb colours[11];
};
const DesktopPalette kPalettes[] = {
    {"AdwaitaDark",
     {0x323232, 0xf0f0f0, 0x242424, 0xf0f0f0, 0x323232, 0xf0f0f0, 0x4b4b4b, 0x262626, 0x212121,
      0xffffdc, 0x000000}},
    {"Qt6ctDarker",
     {0x222020, 0xffffff, 0x3d3d3d, 0xffffff, 0x424245, 0xffffff, 0x979797, 0x4a4947, 0x302f2e,
      0x3f3f36, 0xffffff}},
    {"HighContrastBlack",
     {0x000000, 0xffffff, 0x000000, 0xffffff, 0x000000, 0xffffff, 0x808080, 0x404040, 0x202020,
      0x000000, 0xffffff}},
    {"HighContrastWhite",
     {0xffffff, 0x000000, 0xffffff, 0x000000, 0xffffff, 0x000000, 0xffffff, 0x808080, 0x404040,
      0xffffff, 0x000000}},
};

QPalette paletteOf(const DesktopPalette& p) {
    QPalette palette = QApplication::style()->standardPalette();
    const QPalette::ColorRole roles[] = {
        QPalette::Window, QPalette::WindowText,  QPalette::Base,       QPalette::Text,
        QPalette::Button, QPalette::ButtonText,  QPalette::Light,      QPalette::Mid,
        QPalette::Dark,   QPalette::ToolTipBase, QPalette::ToolTipText};
    for (size_t i = 0; i < std::size(roles); ++i) palette.setColor(roles[i], QColor(p.colours[i]));
    return palette;
}

// One text as drawn: the widget it is in, and how to take it away and give it back.
struct DrawnText {
    QString name;
    QWidget* widget;
    std::function<void()> hide, restore;
};

// The contrast of a text with what it is drawn on: the window grabbed with and without it; where
// the two differ, the text's pixels meet the background they cover. Its solid core gives the
// highest ratio; an unreadable text has none above its own colours'.
double drawnContrast(QWidget& window, const DrawnText& text) {
    QCoreApplication::processEvents();  // a list lays out its rows from the event loop
    // Selected text has the desktop's own selection colours; a dialog selects what it fills in.
    for (QLineEdit* box : window.findChildren<QLineEdit*>()) box->deselect();
    QRect local = text.widget->rect();
    if (auto* frame = qobject_cast<QGroupBox*>(text.widget))  // its title, above its contents
        local.setBottom(frame->contentsRect().top() - 1);
    const QImage shown = window.grab().toImage();
    text.hide();
    const QImage blank = window.grab().toImage();
    text.restore();
    const QRect area =
        QRect(text.widget->mapTo(&window, local.topLeft()), local.size()) & shown.rect();
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (shown.pixel(x, y) != blank.pixel(x, y))
                best =
                    std::max(best, contrastRatio(shown.pixelColor(x, y), blank.pixelColor(x, y)));
    return best;
}

// Every caption, label, frame title and text box of a window (not of the windows it owns). A
// disabled control is left out: its text is meant to recede.
QList<DrawnText> textsIn(QWidget& window) {
    QList<DrawnText> texts;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window) || !w->isEnabled() || w->window() != &window) continue;
        const QString name = w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className())
                                                       : w->objectName();
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            const QString text = label->text();
            texts.append({name + u' ' + text, w, [=] { label->setText(QString()); },
                          [=] { label->setText(text); }});
        } else if (auto* button = qobject_cast<QAbstractButton*>(w);
                   button && !button->text().isEmpty()) {
            const QString text = button->text();
            texts.append({name + u' ' + text, w, [=] { button->setText(QString()); },
                          [=] { button->setText(text); }});
        } else if (auto* frame = qobject_cast<QGroupBox*>(w); frame && !frame->title().isEmpty()) {
            const QString text = frame->title();
            texts.append({name + u' ' + text, w, [=] { frame->setTitle(QString()); },
                          [=] { frame->setTitle(text); }});
        } else if (auto* box = qobject_cast<QLineEdit*>(w)) {
            const QString text = box->text();
            box->setText(QStringLiteral("Orange 3"));
            box->setCursorPosition(0);
            texts.append({name, w, [=] { box->setText(QString()); },
                          [=] { box->setText(QStringLiteral("Orange 3")); }});
        }
    }
    return texts;
}

class ContrastTest : public Form1Test, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        saved = QApplication::palette();
        const int row = GetParam();
        if (row > 0) QApplication::setPalette(paletteOf(kPalettes[row - 1]));
        paletteName = row > 0 ? kPalettes[row - 1].name : "Default";
        fake.application.folder = folder.path();
        fake.platform().newSkinEngine = [] { return std::make_unique<QtSkinEngine>(); };
    }
    void TearDown() override {
        Form1Test::TearDown();
        qApp->setStyleSheet(QString());
        QApplication::setPalette(saved);
    }
    void expectReadable(QWidget& window, const QList<DrawnText>& texts) {
        window.show();  // laid out as the user sees it
        for (const DrawnText& text : texts) {
            SCOPED_TRACE(text.name.toStdString());
            EXPECT_GE(drawnContrast(window, text), 4.5);
        }
    }

    QPalette saved;
    const char* paletteName = nullptr;
    ProgramFolder folder;
};

TEST_P(ContrastTest, EveryTextReadsOnWhatItIsDrawnOn) {
    SCOPED_TRACE(paletteName);
    for (bool skin : {true, false}) {
        SCOPED_TRACE(skin ? "skin" : "no skin");
        if (skin)
            folder.addShipped(kShippedSkin);
        else
            QFile::remove(folder.path() + u'/' + kShippedSkin);
        Form1& f = load();
        addRow(QStringLiteral("Germany"), QStringLiteral("32"));
        expectReadable(f, textsIn(f));

        // The list: its rows, then its column titles.
        QTreeView& list = *f.ListView1;
        expectReadable(f, {{QStringLiteral("list rows"), list.viewport(),
                            [&] {
                                list.setRowHidden(0, QModelIndex(), true);
                                QCoreApplication::processEvents();
                            },
                            [&] { list.setRowHidden(0, QModelIndex(), false); }}});
        QStandardItemModel untitled(0, 2);
        untitled.setHorizontalHeaderLabels({QString(), QString()});
        const QList<int> widths = {list.columnWidth(0), list.columnWidth(1)};
        expectReadable(f, {{QStringLiteral("list titles"), list.header(),
                            [&] {
                                list.header()->setModel(&untitled);
                                for (int i = 0; i < 2; ++i) list.setColumnWidth(i, widths[i]);
                            },
                            [] {}}});

        Form2 chart(fake.platform(), &f);
        expectReadable(chart, textsIn(chart));

        auto box = makeMessageBox(QStringLiteral("All values must be numbers."),
                                  QStringLiteral("Quorvel Wedge Studio"), MessageIcon::Warning, &f);
        expectReadable(*box, textsIn(*box));

        QFontDialog fonts(&f);
        fonts.setOption(QFontDialog::DontUseNativeDialog);
        expectReadable(fonts, textsIn(fonts));
        QFileDialog files(&f);
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setDirectory(folder.path());
        expectReadable(files, textsIn(files));

        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        QToolTip::showText(list.mapToGlobal(QPoint(10, 10)), list.toolTip(), &list);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* tip = qobject_cast<QLabel*>(w); tip && tip->isVisible()) {
                const QString text = tip->text();
                expectReadable(*tip,
                               {{QStringLiteral("tool tip"), tip, [&] { tip->setText(QString()); },
                                 [&] { tip->setText(text); }}});
            }
        QToolTip::hideText();
    }
}

INSTANTIATE_TEST_SUITE_P(DesktopPalettes, ContrastTest,
                         ::testing::Range(0, int(std::size(kPalettes)) + 1), [](const auto& info) {
                             return std::string(info.param == 0 ? "Default"
                                                                : kPalettes[info.param - 1].name);
                         });

}  // namespace
