// The main window's layout: every control built once, with its kind, place, caption,
// stacking and tab order, and the window's own settings.
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
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <type_traits>

using window::Controls;

namespace {

constexpr int Px = 15; // twips per pixel

QRect Twips(int left, int top, int width, int height) {
    return {left / Px, top / Px, width / Px, height / Px};
}

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

TEST_F(LayoutTest, ControlsLieAtTheirPlaces) {
    struct Place {
        QWidget* widget;
        QRect twips;
    };
    const Place singles[] = {
        {ui.DateTime, Twips(120, 240, 6015, 495)},
        {ui.LED2, Twips(5280, 1080, 255, 615)},
        {ui.cmdUSB, Twips(2040, 1560, 495, 315)},
        {ui.ListBox, Twips(3240, 2040, 2775, 480)},
        {ui.Frame2, Twips(120, 3000, 1815, 3375)},
        {ui.btnExit, Twips(240, 5835, 1575, 375)},
        {ui.txtWritePort, Twips(2040, 4320, 495, 405)},
        {ui.Skinner1, Twips(5280, 4800, 1200, 480)},
        {ui.Slider1, Twips(1200, 6720, 3975, 375)},
        {ui.ProgressBar1, Twips(1200, 7560, 3735, 255)},
        {ui.Label7, Twips(120, 8040, 3495, 855)},
        {ui.Label9, Twips(10560, 120, 1335, 375)},
        {ui.N[0], Twips(6720, 600, 1575, 255)},
        {ui.N[19], Twips(6960, 9720, 1695, 255)},
        {ui.N[21], Twips(6840, 10680, 2055, 255)},
    };
    for (const Place& p : singles) {
        EXPECT_EQ(p.widget->geometry(), p.twips) << p.widget->objectName().toStdString();
        EXPECT_EQ(p.widget->parentWidget(), form.get()) << p.widget->objectName().toStdString();
    }

    // The two frame buttons lie in Frame2, placed from its corner (window 240, 3240 / 3600).
    EXPECT_EQ(ui.DisplayADC->parentWidget(), ui.Frame2);
    EXPECT_EQ(ui.btnReadText->parentWidget(), ui.Frame2);
    EXPECT_EQ(ui.DisplayADC->geometry(), Twips(120, 240, 1575, 375));
    EXPECT_EQ(ui.btnReadText->geometry(), Twips(120, 600, 1575, 375));
    EXPECT_EQ(ui.DisplayADC->mapTo(form.get(), QPoint(0, 0)), QPoint(240 / Px, 3240 / Px));

    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(ui.BufferInBox[i]->geometry(), Twips(9120, 480 + 480 * i, 1215, 375)) << i;
        EXPECT_EQ(ui.BufferOutBox[i]->geometry(), Twips(10560, 480 + 480 * i, 1215, 375)) << i;
        // Every legend sits on its row; the short ones all share one column.
        EXPECT_EQ(ui.N[i]->y(), (600 + 480 * i) / Px) << i;
        if (i >= 2 && (i <= 18 || i >= 22)) {
            EXPECT_EQ(ui.N[i]->geometry(), Twips(8040, 600 + 480 * i, 255, 255)) << i;
        }
        // Every legend ends left of the input column.
        EXPECT_LE(ui.N[i]->geometry().right(), 9120 / Px) << i;
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ui.PORTA1ON[i]->geometry(), Twips(2160 + 360 * i, 5760, 420, 420)) << i;
        EXPECT_EQ(ui.PORTA1OFF[i]->geometry(), Twips(2160 + 360 * i, 5760, 420, 420)) << i;
    }
}

TEST_F(LayoutTest, ControlsKeepTheirSizeWhateverTheyShow) {
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
    EXPECT_EQ(ui.Label1->geometry(), Twips(1200, 7200, 2415, 255));
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
        EXPECT_EQ(label->palette().color(QPalette::Window), colours::ButtonFace)
            << name.toStdString();
        const Qt::Alignment horizontal = label->alignment() & Qt::AlignHorizontal_Mask;
        const bool centred = name == "Label6" || name == "Label2";
        EXPECT_EQ(horizontal, centred ? Qt::AlignHCenter : Qt::AlignLeft) << name.toStdString();
    }
    EXPECT_EQ(ui.Label7->palette().color(QPalette::WindowText), colours::Blue);
    EXPECT_EQ(ui.Label4->palette().color(QPalette::WindowText), colours::Black);
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

// Every caption at load is readable: wrapped at word boundaries it fits its box.
// Regression: "Data Strobe" wrapped to a clipped second line in its 57 px box.
TEST_F(LayoutTest, EveryCaptionFitsItsBox) {
    for (QLabel* label : form->findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        const QRect box = label->contentsRect();
        const QRect needed =
            QFontMetrics(label->font())
                .boundingRect(box, int(label->alignment()) | Qt::TextWordWrap, label->text());
        EXPECT_TRUE(box.contains(needed))
            << label->objectName().toStdString() << " needs " << needed.width() << "x"
            << needed.height() << " in " << box.width() << "x" << box.height();
    }
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect box =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QRect needed =
            QFontMetrics(button->font())
                .boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, button->text());
        EXPECT_TRUE(box.contains(needed)) << button->objectName().toStdString();
    }
    // The title wraps onto two lines.
    const QFontMetrics title(ui.Label7->font());
    const QRect titleText =
        title.boundingRect(ui.Label7->contentsRect(), Qt::TextWordWrap, ui.Label7->text());
    EXPECT_EQ(titleText.height() / title.lineSpacing(), 2);
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
    EXPECT_EQ(form->minimumSize(), QSize(818, 835));
    EXPECT_EQ(form->maximumSize(), QSize(818, 835));
    EXPECT_TRUE(form->autoFillBackground());
    EXPECT_EQ(form->palette().color(QPalette::Window), colours::ScrollBars);
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
        EXPECT_EQ(image.pixelColor(corner), colours::ButtonFace)
            << widget->objectName().toStdString();
    }
    EXPECT_NE(colours::ButtonFace, colours::ScrollBars);
}

// The colour a button paints inside its bevel, left of the centred caption.
QColor PaintedColour(QPushButton* button) {
    const QImage image = button->grab().toImage();
    return image.pixelColor(4, image.height() / 2);
}

TEST_F(LayoutTest, GraphicalButtonsPaintTheirBackColour) {
    EXPECT_EQ(colours::BackColour(ui.StartLoop), colours::ScrollBars);
    EXPECT_EQ(colours::BackColour(ui.StopLoop), QColor(255, 0, 0));
    EXPECT_EQ(colours::BackColour(ui.DateBut), colours::ButtonFace);
    EXPECT_EQ(colours::BackColour(ui.TimeBut), colours::ButtonFace);

    form->show();
    // Regression: the style's gradient painted StopLoop's red as pink.
    EXPECT_EQ(PaintedColour(ui.StopLoop), QColor(255, 0, 0));
    EXPECT_EQ(PaintedColour(ui.StartLoop), colours::ScrollBars);
    // A new back colour shows at the next paint.
    colours::SetBackColour(ui.DateBut, colours::Green);
    EXPECT_EQ(PaintedColour(ui.DateBut), QColor(0, 255, 0));
    // A standard button keeps the style's shading: no flat fill of its palette colour.
    QPalette palette = ui.ClearBuffers->palette();
    palette.setColor(QPalette::Button, colours::Green);
    ui.ClearBuffers->setPalette(palette);
    EXPECT_NE(PaintedColour(ui.ClearBuffers), QColor(0, 255, 0));
}

} // namespace
