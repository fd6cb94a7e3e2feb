#include "windows/form1.h"

#include "platform/controls/skin_engine.h"
#include "platform/controls/twips.h"
#include "windows/window_look.h"

#include <utility>

namespace {

constexpr int kClientWidthTwips = 8040;
constexpr int kClientHeightTwips = 6810;
const char16_t kListToolTip[] =
    u"Double-click item to remove it. Move | line to right and out of window to reveal full "
    u"names.";

}  // namespace

Form1::Form1(Platform& platform_) : QWidget(nullptr), platform(platform_) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    setFont(windowFont());
    setBackColor(*this, kWhite);

    auto place = [](QWidget* w, const char* name, QRect r) {
        w->setObjectName(QLatin1String(name));
        w->setGeometry(r);
    };

    PushButton4 = new PushButton(QStringLiteral("Help"), this);
    place(PushButton4, "PushButton4", twipsRect(120, 120, 7800, 405));

    Frame1 = new QGroupBox(QStringLiteral("Add A Slice Of Pie"), this);
    place(Frame1, "Frame1", twipsRect(120, 600, 7800, 1880));
    setBackColor(*Frame1, kWhite);

    Label1 = new QLabel(QStringLiteral("Name:"), Frame1);
    place(Label1, "Label1", twipsRect(240, 345, 540, 225));
    setBackColor(*Label1, kWhite);
    Text1 = new QLineEdit(Frame1);
    place(Text1, "Text1", twipsRect(1800, 300, 5700, 345));
    Label2 = new QLabel(QStringLiteral("Value (Number):"), Frame1);
    place(Label2, "Label2", twipsRect(240, 840, 1365, 225));
    setBackColor(*Label2, kWhite);
    Text2 = new QLineEdit(Frame1);
    place(Text2, "Text2", twipsRect(1800, 800, 5700, 345));
    PushButton2 = new PushButton(QStringLiteral("Add Data"), Frame1);
    place(PushButton2, "PushButton2", twipsRect(240, 1305, 7280, 405));

    PushButton3 = new PushButton(QStringLiteral("Load Name/Values From Text File"), this);
    place(PushButton3, "PushButton3", twipsRect(120, 2595, 3840, 405));
    PushButton6 = new PushButton(QStringLiteral("Load Sample/Example Data"), this);
    place(PushButton6, "PushButton6", twipsRect(4080, 2580, 3840, 405));

    ListView1 = new ListView(this);
    place(ListView1, "ListView1", twipsRect(120, 3120, 7800, 2535));
    ListView1->setFont(windowFont());
    ListView1->setToolTip(QString::fromUtf16(kListToolTip));

    PushButton5 = new PushButton(QStringLiteral("Change Font"), this);
    place(PushButton5, "PushButton5", twipsRect(120, 5760, 3840, 405));
    PushButton7 = new PushButton(QStringLiteral("Clear List"), this);
    place(PushButton7, "PushButton7", twipsRect(4080, 5760, 3840, 405));
    PushButton1 = new PushButton(QStringLiteral("Start Generating Chart"), this);
    place(PushButton1, "PushButton1", twipsRect(120, 6300, 7800, 405));

    // What assistive tools announce: a control's caption, a text box its label's text, and the
    // list, which has no caption, "Slices".
    for (PushButton* button : pushButtons(*this)) {
        styleButton(*button);
        button->setAccessibleName(button->text());
    }
    Frame1->setAccessibleName(Frame1->title());
    for (auto [label, box] : {std::pair{Label1, Text1}, std::pair{Label2, Text2}}) {
        label->setAccessibleName(label->text());
        label->setBuddy(box);
        box->setAccessibleName(label->text());
    }
    ListView1->setAccessibleName(QStringLiteral("Slices"));
    ListView1->setAccessibleDescription(ListView1->toolTip());
    for (QWidget* w : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Label1),
                       static_cast<QWidget*>(Label2)})
        w->setFocusPolicy(Qt::NoFocus);

    // Tab order by tab index: ListView1, PushButton3, PushButton4, PushButton5, PushButton1,
    // (Frame1), Text1, (Label1), Text2, (Label2), PushButton2, PushButton6, PushButton7.
    const QList<QWidget*> tabOrder = {ListView1,   PushButton3, PushButton4, PushButton5,
                                      PushButton1, Text1,       Text2,       PushButton2,
                                      PushButton6, PushButton7};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i), tabOrder.at(i + 1));

    CommonDialog1 = platform.newCommonDialog(this);
    if (platform.newSkinEngine) SkinFramework1 = platform.newSkinEngine();
}

Form1::~Form1() = default;

QList<PushButton*> pushButtons(Form1& form) {
    return {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4,
            form.PushButton5, form.PushButton6, form.PushButton7};
}
