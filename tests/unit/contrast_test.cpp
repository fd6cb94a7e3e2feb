#include "fakes/form_fixture.h"
#include "fakes/program_folder.h"
#include "platform/controls/skin_engine.h"
#include "platform/dialogs/message_box.h"
#include "windows/form2.h"
#include "windows/window_look.h"

#include <QApplication>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolTip>
#include <functional>

namespace {

// Desktop palettes as Qt reads them: GTK's Adwaita:dark through the gtk3 platform theme, qt6ct's
// darker.conf, high contrast black and white. Window, window text, base, text, button, button
// text, tool tip, tool tip text.
const struct {
    const char* name;
    QRgb colours[8];
} kPalettes[] = {
    {"AdwaitaDark", {0x323232, 0xf0f0f0, 0x242424, 0xf0f0f0, 0x323232, 0xf0f0f0, 0xffffdc, 0}},
    {"Qt6ctDarker", {0x222020, 0xffffff, 0x3d3d3d, 0xffffff, 0x424245, 0xffffff, 0x3f3f36, ~0u}},
    {"HighContrastBlack", {0, ~0u, 0, ~0u, 0, ~0u, 0, ~0u}},
    {"HighContrastWhite", {~0u, 0, ~0u, 0, ~0u, 0, ~0u, 0}},
};

// One text as drawn, and how to take it away (false) and give it back (true).
struct DrawnText {
    QString name;
    QWidget* widget;
    std::function<void(bool)> show;
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
    text.show(false);
    const QImage blank = window.grab().toImage();
    text.show(true);
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

// The caption of a label, button, frame or text box (which gets one), or no name.
DrawnText textOf(QWidget* w) {
    if (auto* box = qobject_cast<QLineEdit*>(w)) box->setText(QStringLiteral("Orange 3"));
    const char* property = qobject_cast<QGroupBox*>(w) ? "title" : "text";
    const QString text = w->property(property).toString();
    if (text.isEmpty() || !(w->inherits("QLabel") || w->inherits("QAbstractButton") ||
                            w->inherits("QGroupBox") || w->inherits("QLineEdit")))
        return {};
    return {QLatin1String(w->metaObject()->className()) + u' ' + w->objectName() + u' ' + text, w,
            [=](bool on) { w->setProperty(property, on ? text : QString()); }};
}

// Every caption, label, frame title and text box of a window (not of the windows it owns). A
// disabled control is left out: its text is meant to recede.
QList<DrawnText> textsIn(QWidget& window) {
    QList<DrawnText> texts;
    for (QWidget* w : window.findChildren<QWidget*>())
        if (w->isVisibleTo(&window) && w->isEnabled() && w->window() == &window)
            if (DrawnText text = textOf(w); !text.name.isEmpty()) texts.append(text);
    return texts;
}

class ContrastTest : public Form1Test, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        saved = QApplication::palette();
        if (GetParam() >= 0) {
            QPalette p = saved;
            const QPalette::ColorRole roles[] = {QPalette::Window,      QPalette::WindowText,
                                                 QPalette::Base,        QPalette::Text,
                                                 QPalette::Button,      QPalette::ButtonText,
                                                 QPalette::ToolTipBase, QPalette::ToolTipText};
            for (int i = 0; i < 8; ++i) p.setColor(roles[i], kPalettes[GetParam()].colours[i]);
            QApplication::setPalette(p);
        }
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
    ProgramFolder folder;
};

TEST_P(ContrastTest, EveryTextReadsOnWhatItIsDrawnOn) {
    for (bool skin : {true, false}) {
        SCOPED_TRACE(skin ? "skin" : "no skin");
        if (skin) folder.addShipped(kShippedSkin);
        if (!skin) QFile::remove(folder.path() + u'/' + kShippedSkin);
        Form1& f = load();
        addRow(QStringLiteral("Germany"), QStringLiteral("32"));
        expectReadable(f, textsIn(f));
        QTreeView& list = *f.ListView1;
        expectReadable(f, {{"list rows", list.viewport(), [&](bool on) {
                                list.setRowHidden(0, QModelIndex(), !on);
                                QCoreApplication::processEvents();
                            }}});

        Form2 chart(fake.platform(), &f);
        expectReadable(chart, textsIn(chart));
        auto box = makeMessageBox(QStringLiteral("All values must be numbers."),
                                  QStringLiteral("Quorvel Wedge Studio"), MessageIcon::Warning, &f);
        expectReadable(*box, textsIn(*box));
        QFontDialog fonts(&f);
        fonts.setOption(QFontDialog::DontUseNativeDialog);
        expectReadable(fonts, textsIn(fonts));

        QToolTip::showText(list.mapToGlobal(QPoint(10, 10)), list.toolTip(), &list);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel") && w->isVisible()) expectReadable(*w, {textOf(w)});
        QToolTip::hideText();
    }
}

INSTANTIATE_TEST_SUITE_P(DesktopPalettes, ContrastTest,
                         ::testing::Range(-1, int(std::size(kPalettes))), [](const auto& info) {
                             return std::string(info.param < 0 ? "Default"
                                                               : kPalettes[info.param].name);
                         });

}  // namespace
