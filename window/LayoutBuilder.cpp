#include "window/BoxPanelStyle.h"
#include "window/ClickSlider.h"
#include "window/Colours.h"
#include "window/Controls.h"
#include "window/LampPictures.h"
#include "window/LampShape.h"
#include "window/LayoutTable.h"
#include "window/PacedListWidget.h"
#include "window/ProgressBarStyle.h"
#include "window/SteadyScrollBar.h"
#include "window/WindowIcon.h"

#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <map>

namespace window {

namespace {

using layout::Colour;
using layout::ControlSpec;
using layout::Kind;

/// A push button whose caption wraps at word boundaries when it is wider than the button
/// ("Start Loop" on two lines in a narrow button), so the layout's narrow buttons show their
/// whole caption. Painting
/// follows the style's own push button: bevel, caption, focus frame. A graphical button
/// fills its face with its back colour (the palette's Button colour) as it is, where the
/// style would shade it into a gradient, so red shows as red.
class CaptionButton final : public QPushButton {
public:
    CaptionButton(const QString& caption, bool graphical, QWidget* parent)
        : QPushButton(caption, parent), graphical_(graphical) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButtonBevel, option);
        if (graphical_) {
            const QColor face = palette().color(QPalette::Button);
            painter.fillRect(rect().adjusted(2, 2, -2, -2), isDown() ? face.darker(115) : face);
        }

        QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        if (option.state & (QStyle::State_On | QStyle::State_Sunken))
            area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
        painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(),
                             caption, QPalette::ButtonText);

        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }

private:
    bool graphical_;
};

QColor ToColour(Colour colour) {
    switch (colour) {
    case Colour::Black:
        return colours::Black;
    case Colour::Blue:
        return colours::Blue;
    case Colour::Green:
        return colours::Green;
    case Colour::Red:
        return colours::Red;
    case Colour::Grey:
        return colours::Grey;
    case Colour::ScrollBars:
        return colours::ScrollBars;
    case Colour::ButtonFace:
        return colours::ButtonFace;
    case Colour::Default:
        break;
    }
    return {};
}

/// The layout names Windows fonts; these metric-compatible (Liberation) or look-alike
/// (DejaVu) faces stand in for them. Sizes become pixel sizes at 96 dpi so the window
/// looks the same whatever dpi the screen reports. MS Sans Serif is set narrower than
/// Arial, whose metrics Liberation Sans copies; a 95 % letter spacing brings its captions
/// back to the widths the boxes were made for ("Data Strobe" in 57 pixels).
QFont ToFont(const layout::FontSpec& wanted) {
    static const std::map<QString, QString> installed{
        {"MS Sans Serif", "Liberation Sans"},
        {"Arial", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Verdana", "DejaVu Sans"},
    };
    const auto found = installed.find(QString::fromLatin1(wanted.face));
    QFont font(found != installed.end() ? found->second : QString::fromLatin1(wanted.face));
    font.setPixelSize(qRound(wanted.points * 96.0 / 72.0));
    font.setWeight(QFont::Weight(wanted.weight));
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    if (qstrcmp(wanted.face, "MS Sans Serif") == 0)
        font.setLetterSpacing(QFont::PercentageSpacing, 95);
    return font;
}

QRect ToPixels(const layout::ControlRow& row) {
    constexpr int px = layout::TwipsPerPixel;
    return {row.left / px, row.top / px, row.width / px, row.height / px};
}

QString ObjectName(const layout::ControlRow& row) {
    const QString name = QString::fromLatin1(row.name);
    return row.index < 0 ? name : QStringLiteral("%1_%2").arg(name).arg(row.index);
}

/// A colour the layout does not give is the platform's standard one for the kind of control.
Colour OrStandard(Colour given, Colour standard) {
    return given == Colour::Default ? standard : given;
}

void SetRole(QWidget* widget, QPalette::ColorRole role, Colour colour) {
    if (colour == Colour::Default) return;
    QPalette palette = widget->palette();
    palette.setColor(role, ToColour(colour));
    widget->setPalette(palette);
}

QWidget* MakeLabel(const ControlSpec& control, QWidget* parent) {
    auto* label = new QLabel(QString::fromStdString(control.text), parent);
    const Qt::Alignment horizontal =
        control.row.align == layout::Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    label->setWordWrap(true);
    label->setFrameShape(QFrame::NoFrame);
    label->setMargin(0);
    // Opaque, in button face unless the layout says otherwise: on the window's own scroll-bar
    // grey a transparent label would vanish.
    label->setAutoFillBackground(true);
    SetRole(label, QPalette::WindowText, control.row.fore);
    SetRole(label, QPalette::Window, OrStandard(control.row.back, Colour::ButtonFace));
    return label;
}

QWidget* MakeImage(const ControlSpec& control, QWidget* parent) {
    auto* image = new QLabel(parent);
    image->setPixmap(control.row.picture == layout::Picture::LampLit ? LitLampPicture()
                                                                     : UnlitLampPicture());
    image->setScaledContents(false);
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setAutoFillBackground(false);
    image->setAttribute(Qt::WA_TranslucentBackground);
    return image;
}

QWidget* MakeButton(const ControlSpec& control, QWidget* parent) {
    auto* button =
        new CaptionButton(QString::fromStdString(control.text), control.row.graphical, parent);
    button->setAutoDefault(false);
    if (control.row.graphical) colours::SetBackColour(button, ToColour(control.row.back));
    return button;
}

QWidget* MakeTextBox(const ControlSpec& control, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setStyle(BoxPanelStyle::instance());
    // No length limit: QLineEdit would otherwise cut a longer paste at 32,767 silently.
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setText(QString::fromStdString(control.text));
    box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    box->setCursorPosition(0);
    return box;
}

QWidget* MakeListBox(const ControlSpec& control, QWidget* parent) {
    auto* list = new PacedListWidget(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(false);
    // Every line is one line of one font: without this the list lays out all its lines
    // again after each line added, which grows with the list.
    list->setUniformItemSizes(true);
    // Lines are added at the bottom: the range of the vertical bar changes with each.
    list->setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
    SetRole(list, QPalette::Base, control.row.back);
    SetRole(list, QPalette::Text, control.row.fore);
    return list;
}

QWidget* MakeFrame(const ControlSpec& control, QWidget* parent) {
    auto* frame = new QGroupBox(QString::fromStdString(control.text), parent);
    frame->setAutoFillBackground(true);
    SetRole(frame, QPalette::Window, OrStandard(control.row.back, Colour::ButtonFace));
    return frame;
}

QWidget* MakeShape(const ControlSpec& control, QWidget* parent) {
    auto* shape = new LampShape(parent);
    shape->setFillColour(ToColour(control.row.fill));
    return shape;
}

QWidget* MakePictureBox(const ControlSpec&, QWidget* parent) {
    auto* box = new QFrame(parent);
    box->setFrameShape(QFrame::Panel);
    box->setFrameShadow(QFrame::Sunken);
    return box;
}

QWidget* MakeProgressBar(const ControlSpec& control, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setOrientation(Qt::Horizontal);
    bar->setRange(control.row.minimum, control.row.maximum);
    bar->setValue(control.row.minimum);
    bar->setTextVisible(false);
    bar->setStyle(ProgressBarStyle::instance());
    return bar;
}

QWidget* MakeSlider(const ControlSpec& control, QWidget* parent) {
    auto* slider = new ClickSlider(parent);
    slider->setRange(control.row.minimum, control.row.maximum);
    slider->setValue(control.row.minimum);
    return slider;
}

/// Windowless controls (labels, lamps, images) only draw on their container: they are kept
/// at the bottom of the stack and never take focus.
bool IsWindowless(Kind kind) {
    return kind == Kind::Label || kind == Kind::Shape || kind == Kind::Image;
}

/// The controls the Tab key and a click can give focus to. The empty picture box is one of
/// them: it has its place in the layout's tab order, so Tab stops on it too.
bool TakesFocus(Kind kind) {
    return kind == Kind::Button || kind == Kind::TextBox || kind == Kind::ListBox ||
           kind == Kind::Slider || kind == Kind::PictureBox;
}

/// Stacking among siblings: windowless controls lowest (among them in table order), then
/// frames, then every other windowed control, so buttons and lists that lie inside a
/// frame's border show above it.
int StackLayer(Kind kind) {
    if (IsWindowless(kind)) return 0;
    return kind == Kind::Frame ? 1 : 2;
}

/// The built controls by objectName.
using ByName = QHash<QString, QObject*>;

/// Every control Controls holds is in the table (LayoutTable.cpp asserts it at compile time);
/// what is left to check is that the builder made it as the class the handlers reach it as.
template <class T> void Take(const ByName& byName, T*& member, const QString& name) {
    QObject* object = byName.value(name);
    member = qobject_cast<T*>(object);
    if (!member)
        qFatal("Main window layout: control %s is a %s, not the kind the handlers expect",
               qPrintable(name), object->metaObject()->className());
}

template <class T, std::size_t N>
void Take(const ByName& byName, std::array<T*, N>& members, const QString& name) {
    for (std::size_t i = 0; i < N; ++i)
        Take(byName, members[i], QStringLiteral("%1_%2").arg(name).arg(i));
}

Controls TakeControls(const ByName& byName) {
    Controls c;
    ForEachControl(c, [&](const char* name, auto& member) {
        Take(byName, member, QString::fromLatin1(name));
    });
    return c;
}

void ApplyWindowSettings(QWidget& form) {
    const layout::WindowSettings& settings = layout::MainFormWindow();
    if (form.objectName().isEmpty()) form.setObjectName(QStringLiteral("MainForm"));
    form.setWindowTitle(QString::fromLatin1(settings.caption));
    form.setWindowIcon(MakeWindowIcon());
    form.setFont(ToFont(settings.font));
    QPalette palette = form.palette();
    palette.setColor(QPalette::Window, ToColour(settings.back));
    form.setPalette(palette);
    form.setAutoFillBackground(true);

    const QSize client(settings.clientWidth / layout::TwipsPerPixel,
                       settings.clientHeight / layout::TwipsPerPixel);
    form.setFixedSize(client);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        form.move(available.center() - QPoint(client.width() / 2, client.height() / 2));
    }
}

} // namespace

Controls BuildMainFormLayout(QWidget& form) {
    ApplyWindowSettings(form);

    ByName byName;
    struct Placed {
        QWidget* widget;
        const layout::ControlRow* row;
    };
    std::vector<Placed> placed;
    const std::vector<ControlSpec> controls = layout::MainFormControls();
    placed.reserve(controls.size());

    for (const ControlSpec& control : controls) {
        const layout::ControlRow& row = control.row;
        const QString name = ObjectName(row);
        if (byName.contains(name))
            qFatal("Main window layout: control name %s is used twice", qPrintable(name));

        if (row.kind == Kind::Timer) {
            auto* timer = new QTimer(&form);
            timer->setObjectName(name);
            timer->setTimerType(Qt::PreciseTimer);
            timer->setInterval(0); // no ticks until a handler gives it an interval and starts it
            byName.insert(name, timer);
            continue;
        }

        QWidget* parent = &form;
        if (row.container) {
            parent = qobject_cast<QWidget*>(byName.value(QString::fromLatin1(row.container)));
            if (!parent)
                qFatal("Main window layout: container %s of %s is not built before it",
                       row.container, qPrintable(name));
        }

        QWidget* widget = nullptr;
        switch (row.kind) {
        case Kind::Label:
            widget = MakeLabel(control, parent);
            break;
        case Kind::Button:
            widget = MakeButton(control, parent);
            break;
        case Kind::TextBox:
            widget = MakeTextBox(control, parent);
            break;
        case Kind::ListBox:
            widget = MakeListBox(control, parent);
            break;
        case Kind::Frame:
            widget = MakeFrame(control, parent);
            break;
        case Kind::Shape:
            widget = MakeShape(control, parent);
            break;
        case Kind::Image:
            widget = MakeImage(control, parent);
            break;
        case Kind::PictureBox:
            widget = MakePictureBox(control, parent);
            break;
        case Kind::ProgressBar:
            widget = MakeProgressBar(control, parent);
            break;
        case Kind::Slider:
            widget = MakeSlider(control, parent);
            break;
        case Kind::Timer:
            break;
        }
        widget->setObjectName(name);
        // Controls are never moved or resized; fixed, a caption or lamp change does not ask the
        // window to lay out again (a posted event and a wake-up for every report).
        const QRect area = ToPixels(row);
        widget->move(area.topLeft());
        widget->setFixedSize(area.size());
        if (row.kind != Kind::Image && row.kind != Kind::Shape) widget->setFont(ToFont(row.font));
        if (TakesFocus(row.kind))
            widget->setFocusPolicy(row.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        else
            widget->setFocusPolicy(Qt::NoFocus);

        byName.insert(name, widget);
        placed.push_back({widget, &row});
    }

    // Stacking: raising in layer order leaves each container's children bottom to top.
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        return StackLayer(a.row->kind) < StackLayer(b.row->kind);
    });
    for (const Placed& p : placed)
        p.widget->raise();

    // Tab order: every focusable control in ascending tab index; the Tab key passes over
    // those with click focus only.
    std::vector<Placed> focusable;
    std::copy_if(placed.begin(), placed.end(), std::back_inserter(focusable),
                 [](const Placed& p) { return p.widget->focusPolicy() != Qt::NoFocus; });
    std::stable_sort(focusable.begin(), focusable.end(), [](const Placed& a, const Placed& b) {
        return a.row->tabIndex < b.row->tabIndex;
    });
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].widget, focusable[i].widget);

    return TakeControls(byName);
}

} // namespace window
