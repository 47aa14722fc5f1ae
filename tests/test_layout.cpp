// The main window's layout: every control built once, with its kind, place, caption,
// stacking and tab order, and the window's own settings.
#include "support/ShownPixels.h"
#include "window/ClickSlider.h"
#include "window/Colours.h"
#include "window/Controls.h"
#include "window/LampPictures.h"
#include "window/LampShape.h"
#include "window/WindowIcon.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <type_traits>

using window::Controls;

namespace {

QString Element(const char* name, int i) {
    return QStringLiteral("%1_%2").arg(name).arg(i);
}

// Calls `check(objectName, control)` for every control Controls holds, array elements one by
// one, `control` typed as the handlers reach it.
template <class Check> void ForEachElement(Controls& ui, Check check) {
    window::ForEachControl(ui, [&](const char* name, auto& member) {
        if constexpr (std::is_pointer_v<std::remove_reference_t<decltype(member)>>)
            check(QString::fromLatin1(name), member);
        else
            for (int i = 0; i < int(member.size()); ++i)
                check(Element(name, i), member[i]);
    });
}

// The single controls the handlers reach as labels (the arrays PORTA1ON/OFF and N aside).
QStringList LabelNames() {
    QStringList names;
    Controls none;
    window::ForEachControl(none, [&](const char* name, auto& member) {
        if constexpr (std::is_same_v<std::remove_reference_t<decltype(member)>, QLabel*>)
            names << name;
    });
    return names;
}

class LayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    void SetUp() override {
        form = std::make_unique<QWidget>();
        ui = window::BuildMainFormLayout(*form);
    }

    template <class T = QObject> QList<T*> Named(const QString& name) const {
        return form->findChildren<T*>(name);
    }

    /// Shows the window and waits until it has keyboard focus.
    void ShowActive() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    std::unique_ptr<QWidget> form;
    Controls ui;
};

const QStringList NoTabStopNames{
    "ListBox",           "btnReadInput",   "btnWritePort", "btnWritePortClear",
    "btnHID_Disconnect", "btnHID_Connect", "btnExit"};

TEST_F(LayoutTest, EveryControlExistsOnceWithItsKind) {
    auto expectOne = [&](const QString& name, auto* typed) {
        using T = std::remove_pointer_t<decltype(typed)>;
        const QList<QObject*> found = Named(name);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        EXPECT_NE(qobject_cast<T*>(found.first()), nullptr)
            << name.toStdString() << " is a " << found.first()->metaObject()->className();
    };
    ForEachElement(ui, [&](const QString& name, auto* control) { expectOne(name, control); });
    // Nothing beyond the layout's 130 controls (Skinner2 has no counterpart), counting the
    // named objects the builder made; the widgets' own internals carry no names.
    int named = 0;
    for (QObject* object : form->findChildren<QObject*>())
        if (!object->objectName().isEmpty() && !object->objectName().startsWith("qt_")) ++named;
    EXPECT_EQ(named, 130);
}

TEST_F(LayoutTest, ControlsPointAtTheNamedWidgets) {
    ForEachElement(ui, [&](const QString& name, auto* control) {
        using T = std::remove_pointer_t<decltype(control)>;
        EXPECT_EQ(control, form->findChild<T*>(name)) << name.toStdString();
    });
}

/// Why the layout lays two sibling controls over each other, or nullptr where it does not mean
/// to. The pair is named "first second" in the order Controls lists them.
const char* WhyTheyOverlap(const QString& pair) {
    static const std::pair<QRegularExpression, const char*> meant[] = {
        {QRegularExpression("^PORTA1OFF_(\\d) PORTA1ON_\\1$"),
         "a lit input lamp lies on its unlit one: hiding it shows the unlit one"},
        {QRegularExpression("^PORTA1O\\w+ PORTA1O\\w+$"),
         "neighbouring lamps' square pictures share their transparent corners"},
        {QRegularExpression("^Frame1 ListBox$"),
         "the device list is the window's own, shown inside the details frame"},
        {QRegularExpression("^Frame2 btn\\w+$"),
         "six manual-control buttons are the window's own, shown inside the frame"},
    };
    for (const auto& [pattern, why] : meant)
        if (pattern.match(pair).hasMatch()) return why;
    return nullptr;
}

// Every control lies within its parent, and siblings overlap only where the layout means them
// to; elsewhere two may share one row or column of pixels, where the table begins a control on
// the last pixel of the one before it.
TEST_F(LayoutTest, ControlsLieInsideTheirParentsAndOverlapOnlyWhereMeant) {
    std::vector<QWidget*> controls;
    ForEachElement(ui, [&](const QString&, auto* control) {
        if constexpr (std::is_base_of_v<QWidget, std::remove_pointer_t<decltype(control)>>)
            controls.push_back(control);
    });
    for (auto a = controls.begin(); a != controls.end(); ++a) {
        const QWidget& first = **a;
        EXPECT_TRUE(first.parentWidget()->rect().contains(first.geometry()))
            << first.objectName().toStdString();
        for (auto b = a + 1; b != controls.end(); ++b) {
            const QRect shared = first.geometry() & (*b)->geometry();
            const QString pair = first.objectName() + " " + (*b)->objectName();
            if (first.parentWidget() == (*b)->parentWidget() && shared.width() > 1 &&
                shared.height() > 1) {
                EXPECT_NE(WhyTheyOverlap(pair), nullptr) << pair.toStdString();
            }
        }
    }
    // Each legend of the buffer table lies beside its row, left of the row's boxes.
    for (std::size_t i = 0; i < window::BufferRows; ++i) {
        const QRect legend = ui.N[i]->geometry();
        const QRect row = ui.BufferInBox[i]->geometry();
        EXPECT_LT(legend.right(), row.left()) << i;
        EXPECT_TRUE(row.top() <= legend.center().y() && legend.center().y() <= row.bottom()) << i;
    }
}

TEST_F(LayoutTest, ControlsKeepTheirSizeWhateverTheyShow) {
    const QRect label1 = ui.Label1->geometry();
    ui.Label1->setText("A to D (RA2) = 255, and a caption far longer than the label");
    ui.PORTA1ON[0]->hide();
    ui.PORTA1ON[0]->show();
    QCoreApplication::processEvents();
    for (QWidget* control : form->findChildren<QWidget*>()) {
        if (control->parentWidget() != form.get() && control->parentWidget() != ui.Frame1 &&
            control->parentWidget() != ui.Frame2)
            continue; // the parts Qt builds inside a control
        EXPECT_EQ(control->minimumSize(), control->size()) << control->objectName().toStdString();
        EXPECT_EQ(control->maximumSize(), control->size()) << control->objectName().toStdString();
    }
    EXPECT_EQ(ui.Label1->geometry(), label1);
}

TEST_F(LayoutTest, CaptionsAndTextsAtLoad) {
    const std::pair<QLabel*, const char*> labels[] = {
        {ui.DateTime, "DateTime"},          {ui.Label6, "HID "},
        {ui.Label3, "USB Handle"},          {ui.Label2, "Data Strobe"},
        {ui.Label4, "PIC Input Status"},    {ui.Label5, "PIC Output Status"},
        {ui.Label1, "A to D = RA2"},        {ui.Label7, "ZOV USB Test Interface"},
        {ui.Label8, "BufferInBox"},         {ui.Label9, "BufferOutBox"},
        {ui.N[0], "0 - USB Start Byte"},    {ui.N[1], "1 - USB Command Byte"},
        {ui.N[19], "19 - A to D Value"},    {ui.N[20], "20 - Port Input Value"},
        {ui.N[21], "21 - PORT Write Value"}};
    for (const auto& [label, text] : labels)
        EXPECT_EQ(label->text(), text) << label->objectName().toStdString();
    for (int i : {2, 10, 18, 22, 24})
        EXPECT_EQ(ui.N[i]->text(), QString::number(i));

    const std::pair<QPushButton*, const char*> buttons[] = {
        {ui.USB_Command, "Send USB Command"},
        {ui.btnSendText, "Send Text"},
        {ui.DisplayADC, "Display ADC"},
        {ui.btnReadText, "Read Text"},
        {ui.btnReadInput, "Read Input"},
        {ui.btnWritePort, "PORTD Write"},
        {ui.btnWritePortClear, "PORTD OFF"},
        {ui.btnHID_Disconnect, "HID Disconnect"},
        {ui.btnHID_Connect, "HID Connect"},
        {ui.btnExit, "Exit"},
        {ui.DateBut, "Clock "}, // six characters: the trailing blank belongs to it
        {ui.TimeBut, "Off"},
        {ui.StartLoop, "Start Loop"},
        {ui.StopLoop, "Stop Loop"},
        {ui.ClearBuffers, "Clear Buffer"}};
    for (const auto& [button, text] : buttons) {
        EXPECT_EQ(button->text(), text) << button->objectName().toStdString();
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    }

    EXPECT_EQ(ui.cmdUSB->text(), "4");
    EXPECT_EQ(ui.WriteText->text(), "Midi Char Test!!");
    EXPECT_EQ(ui.txtWritePort->text(), "255");
    EXPECT_EQ(ui.Text1->text(), "Text1");
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(ui.BufferInBox[i]->text(), "BufferInBox0") << i;
        EXPECT_EQ(ui.BufferOutBox[i]->text(), "BufferOutBox") << i;
    }
    EXPECT_EQ(ui.Frame1->title(), "USB Device Details");
    EXPECT_EQ(ui.Frame2->title(), "Manual Control");
    EXPECT_EQ(ui.ListBox->count(), 0);
    EXPECT_EQ(ui.ListBox2->count(), 0);
}

TEST_F(LayoutTest, LabelsAreOpaqueWrappedAndAligned) {
    for (const QString& name : LabelNames()) {
        auto* label = form->findChild<QLabel*>(name);
        EXPECT_TRUE(label->autoFillBackground()) << name.toStdString();
        EXPECT_TRUE(label->wordWrap()) << name.toStdString();
        EXPECT_EQ(label->frameShape(), QFrame::NoFrame) << name.toStdString();
        EXPECT_EQ(label->palette().color(QPalette::Window), window::colours::ButtonFace)
            << name.toStdString();
        const Qt::Alignment horizontal = label->alignment() & Qt::AlignHorizontal_Mask;
        const bool centred = name == "Label6" || name == "Label2";
        EXPECT_EQ(horizontal, centred ? Qt::AlignHCenter : Qt::AlignLeft) << name.toStdString();
    }
    EXPECT_EQ(ui.Label7->palette().color(QPalette::WindowText), window::colours::Blue);
    EXPECT_EQ(ui.Label4->palette().color(QPalette::WindowText), window::colours::Black);
    for (QListWidget* list : {ui.ListBox, ui.ListBox2}) {
        EXPECT_EQ(list->palette().color(QPalette::Base), QColor(0, 0, 0));
        EXPECT_EQ(list->palette().color(QPalette::Text), QColor(0, 255, 0));
    }
    EXPECT_EQ(ui.LED1->fillColour(), QColor(255, 0, 0));
    EXPECT_EQ(ui.LED2->fillColour(), QColor(192, 192, 192));
}

TEST_F(LayoutTest, FontsAreThePixelSizedLookAlikes) {
    EXPECT_EQ(form->font().family(), "Liberation Sans");
    EXPECT_EQ(form->font().pixelSize(), 11);
    EXPECT_EQ(form->font().weight(), QFont::Bold);
    // Normal font: same face and size, weight 400.
    EXPECT_EQ(ui.Label6->font().family(), "Liberation Sans");
    EXPECT_EQ(ui.Label6->font().pixelSize(), 11);
    EXPECT_EQ(ui.Label6->font().weight(), QFont::Normal);
    EXPECT_EQ(ui.DisplayADC->font().weight(), QFont::Normal);
    EXPECT_EQ(ui.BufferInBox[3]->font().weight(), QFont::Bold);
    EXPECT_EQ(ui.DateTime->font().family(), "Liberation Serif");
    EXPECT_EQ(ui.DateTime->font().pixelSize(), 29);
    EXPECT_EQ(ui.Label7->font().family(), "DejaVu Sans");
    EXPECT_EQ(ui.Label7->font().pixelSize(), 21);
    EXPECT_EQ(ui.ListBox->font().pixelSize(), 11);
    EXPECT_EQ(ui.ListBox->font().weight(), QFont::Bold);
}

// Every caption reads whole, at load and at its longest later: on one line within its box, but
// for those the layout gives two lines (the title, and the narrow buttons twice a line high),
// which fit their box wrapped at word boundaries. Regression: "Data Strobe" wrapped to a
// clipped second line in its 57 px box.
TEST_F(LayoutTest, EveryCaptionFitsItsBox) {
    std::vector<std::pair<QWidget*, QString>> captions{
        {ui.Label1, "A to D (RA2) = 255"},
        {ui.Label3, "HID Handle # 99"},
        {ui.Label4, "PIC Input Status (PORTC) = 255"},
        {ui.Label5, "PIC Output Status (PORTD) = 255"},
        {ui.Label6, "OFFLINE"},
        {ui.DateTime, "12/16/2026  10:30:00 PM"},
        {ui.DateBut, "Clock Off"}};
    for (QLabel* label : form->findChildren<QLabel*>())
        if (!label->text().isEmpty()) captions.emplace_back(label, label->text());
    for (QPushButton* button : form->findChildren<QPushButton*>())
        captions.emplace_back(button, button->text());

    const QList<QWidget*> twoLines{ui.Label7, ui.StartLoop, ui.StopLoop, ui.ClearBuffers};
    for (const auto& [control, caption] : captions) {
        QRect box = control->contentsRect();
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = caption;
            box = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        }
        const QFontMetrics metrics(control->font());
        const QRect needed =
            twoLines.contains(control)
                ? metrics.boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, caption)
                : QRect(box.topLeft(), QSize(metrics.horizontalAdvance(caption), metrics.height()));
        EXPECT_TRUE(box.contains(needed))
            << control->objectName().toStdString() << " needs " << needed.width() << "x"
            << needed.height() << " for \"" << caption.toStdString() << "\" in " << box.width()
            << "x" << box.height();
    }
}

TEST_F(LayoutTest, TimerExistsIdleWithIntervalZero) {
    ASSERT_NE(ui.Timer2, nullptr);
    EXPECT_EQ(ui.Timer2->parent(), form.get());
    EXPECT_EQ(ui.Timer2->interval(), 0);
    EXPECT_FALSE(ui.Timer2->isActive());
    EXPECT_EQ(ui.Timer2->timerType(), Qt::PreciseTimer);
}

TEST_F(LayoutTest, BarAndSliderRanges) {
    EXPECT_EQ(ui.ProgressBar1->minimum(), 0);
    EXPECT_EQ(ui.ProgressBar1->maximum(), 255);
    EXPECT_EQ(ui.ProgressBar1->value(), 0);
    EXPECT_FALSE(ui.ProgressBar1->isTextVisible());
    EXPECT_EQ(ui.Slider1->minimum(), 0);
    EXPECT_EQ(ui.Slider1->maximum(), 255);
    EXPECT_EQ(ui.Slider1->value(), 0);
    EXPECT_EQ(ui.Slider1->orientation(), Qt::Horizontal);
}

TEST_F(LayoutTest, WindowSettings) {
    EXPECT_EQ(form->windowTitle(), "ZOV-USB Test Interface");
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_TRUE(form->autoFillBackground());
    EXPECT_EQ(form->palette().color(QPalette::Window), window::colours::ScrollBars);
    const QList<QSize> sizes = form->windowIcon().availableSizes();
    for (const QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48)})
        EXPECT_TRUE(sizes.contains(size)) << size.width();
}

TEST(WindowIcon, PagesAreWhiteWithCyanTitleBars) {
    const QImage image = window::MakeWindowIcon().pixmap(32, 32).toImage();
    int white = 0, cyan = 0, transparent = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 0)
                ++transparent;
            else if (c == Qt::white)
                ++white;
            else if (c.red() < 60 && c.green() > 150 && c.blue() > 150)
                ++cyan;
        }
    EXPECT_GT(white, 100);
    EXPECT_GT(cyan, 30);
    EXPECT_GT(transparent, 50); // the cascade leaves the corners free
}

TEST_F(LayoutTest, TabFollowsTabIndexAndSkipsNoTabStopControls) {
    for (const QString& name : NoTabStopNames)
        EXPECT_EQ(form->findChild<QWidget*>(name)->focusPolicy(), Qt::ClickFocus)
            << name.toStdString();
    for (QWidget* windowless : {static_cast<QWidget*>(ui.Label1), static_cast<QWidget*>(ui.LED1),
                                static_cast<QWidget*>(ui.PORTA1ON[0])})
        EXPECT_EQ(windowless->focusPolicy(), Qt::NoFocus);

    // The tab stops in ascending tab index; Tab wraps round after the last.
    QStringList expected{"txtWritePort", "USB_Command", "cmdUSB",      "ListBox2",
                         "btnReadText",  "WriteText",   "btnSendText", "DisplayADC",
                         "Slider1",      "Text1",       "StartLoop",   "StopLoop"};
    for (int i = 0; i < 25; ++i)
        expected << Element("BufferInBox", i);
    for (int i = 0; i < 25; ++i)
        expected << Element("BufferOutBox", i);
    expected << "DateBut"
             << "TimeBut"
             << "ClearBuffers"
             << "Skinner1"
             << "txtWritePort";

    ShowActive();
    ui.txtWritePort->setFocus(Qt::TabFocusReason);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int step = 1; step < expected.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(LayoutTest, StackingPutsWindowlessControlsBeneath) {
    // Among the form's own children the stacking order is the order of children().
    int highestWindowless = -1;
    int lowestWindowed = INT_MAX;
    const QObjectList children = form->children();
    for (int i = 0; i < children.size(); ++i) {
        auto* widget = qobject_cast<QWidget*>(children[i]);
        if (!widget) continue;
        const bool windowless =
            qobject_cast<QLabel*>(widget) || qobject_cast<window::LampShape*>(widget);
        if (windowless)
            highestWindowless = std::max(highestWindowless, i);
        else
            lowestWindowed = std::min(lowestWindowed, i);
    }
    EXPECT_LT(highestWindowless, lowestWindowed);

    // Label5's lower edge runs under the slider.
    const QPoint overlap(ui.Slider1->x() + 20, ui.Slider1->y());
    ASSERT_TRUE(ui.Label5->geometry().contains(overlap));
    EXPECT_EQ(form->childAt(overlap), ui.Slider1);

    // ListBox shows above Frame1, and the six window buttons above Frame2.
    QWidget* atList = form->childAt(ui.ListBox->geometry().center());
    EXPECT_TRUE(atList == ui.ListBox || ui.ListBox->isAncestorOf(atList));
    for (QPushButton* button : {ui.btnReadInput, ui.btnWritePort, ui.btnWritePortClear,
                                ui.btnHID_Disconnect, ui.btnHID_Connect, ui.btnExit}) {
        ASSERT_TRUE(ui.Frame2->geometry().contains(button->geometry()));
        EXPECT_EQ(form->childAt(button->geometry().center()), button)
            << button->objectName().toStdString();
    }
}

TEST_F(LayoutTest, HidingALitLampShowsTheUnlitOneBeneath) {
    form->show();
    const QImage lit = window::LitLampPicture().toImage();
    const QImage unlit = window::UnlitLampPicture().toImage();
    for (std::size_t i = 0; i < window::InputLamps; ++i) {
        EXPECT_TRUE(ui.PORTA1ON[i]->isVisible()) << i; // by layout alone all lamps show lit
        EXPECT_EQ(ui.PORTA1ON[i]->pixmap().toImage(), lit) << i;
        EXPECT_EQ(ui.PORTA1OFF[i]->pixmap().toImage(), unlit) << i;
        EXPECT_FALSE(ui.PORTA1ON[i]->hasScaledContents()) << i;
        // The middle of lamp i, clear of the neighbours' 4-pixel overlap.
        const QPoint centre = ui.PORTA1OFF[i]->geometry().center();
        EXPECT_EQ(form->childAt(centre), ui.PORTA1ON[i]) << i;
        ui.PORTA1ON[i]->hide();
        EXPECT_EQ(form->childAt(centre), ui.PORTA1OFF[i]) << i;
        ui.PORTA1ON[i]->show();
        EXPECT_EQ(form->childAt(centre), ui.PORTA1ON[i]) << i;
    }
}

TEST(LampPictures, RoundBulbsWithTransparentSurroundings) {
    const QImage lit = window::LitLampPicture().toImage();
    const QImage unlit = window::UnlitLampPicture().toImage();
    for (const QImage& image : {lit, unlit}) {
        ASSERT_EQ(image.size(), QSize(28, 28));
        for (const QPoint corner : {QPoint(0, 0), QPoint(27, 0), QPoint(0, 27), QPoint(27, 27)})
            EXPECT_EQ(image.pixelColor(corner).alpha(), 0);
        EXPECT_EQ(image.pixelColor(14, 14).alpha(), 255);
        // The ring is lit from the upper left.
        EXPECT_GT(image.pixelColor(6, 6).lightness(), image.pixelColor(22, 22).lightness());
    }
    const QColor litGlass = lit.pixelColor(16, 16);
    const QColor unlitGlass = unlit.pixelColor(16, 16);
    EXPECT_GT(litGlass.green(), 200);
    EXPECT_LT(unlitGlass.green(), 140);
    EXPECT_GT(litGlass.green(), litGlass.red() + 100);
    EXPECT_GT(unlitGlass.green(), unlitGlass.red() + 20);
}

// Labels and frames paint their own background in button face, the standard colour for their
// kind: transparent, they would take the window's scroll-bar grey and vanish into it.
TEST_F(LayoutTest, LabelsAndFramesPaintButtonFace) {
    form->show();
    std::vector<QWidget*> opaque;
    for (const QString& name : LabelNames())
        opaque.push_back(form->findChild<QLabel*>(name));
    for (int i = 0; i < int(window::BufferRows); ++i)
        opaque.push_back(form->findChild<QLabel*>(Element("N", i)));
    opaque.push_back(ui.Frame1);
    opaque.push_back(ui.Frame2);
    for (QWidget* widget : opaque) {
        ASSERT_NE(widget, nullptr);
        // A label's lower right corner, below and right of its caption; a frame's upper right
        // corner, beside its caption and above its border (the style tints inside the border).
        const QImage image = widget->grab().toImage();
        const bool frame = qobject_cast<QGroupBox*>(widget) != nullptr;
        const QPoint corner =
            frame ? QPoint(image.width() - 2, 1) : QPoint(image.width() - 1, image.height() - 1);
        EXPECT_EQ(image.pixelColor(corner), window::colours::ButtonFace)
            << widget->objectName().toStdString();
    }
    EXPECT_NE(window::colours::ButtonFace, window::colours::ScrollBars);
}

TEST_F(LayoutTest, GraphicalButtonsPaintTheirBackColour) {
    form->show();
    const auto painted = [](QPushButton* button) {
        return testsupport::ButtonFaceColour(button->grab().toImage());
    };
    // Regression: the style's gradient painted StopLoop's red as pink.
    EXPECT_EQ(painted(ui.StopLoop), window::colours::Red);
    EXPECT_EQ(painted(ui.StartLoop), window::colours::ScrollBars);
    EXPECT_EQ(painted(ui.DateBut), window::colours::ButtonFace);
    EXPECT_EQ(painted(ui.TimeBut), window::colours::ButtonFace);
    // A standard button keeps the style's shading: no flat fill of its palette colour.
    QPalette palette = ui.ClearBuffers->palette();
    palette.setColor(QPalette::Button, window::colours::Green);
    ui.ClearBuffers->setPalette(palette);
    EXPECT_NE(painted(ui.ClearBuffers), window::colours::Green);
}

} // namespace
