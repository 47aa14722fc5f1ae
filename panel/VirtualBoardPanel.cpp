#include "panel/VirtualBoardPanel.h"

#include "board/VirtualBoard.h"
#include "hid/CodePage1252.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

namespace panel {

namespace {

constexpr int LampSize = 14;

QString bitName(int bit) {
    return QString::number(bit);
}

// Texts from the board are Latin-1 bytes, cut at the first zero byte.
QString fromBoardText(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf('\0');
    return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
}

void paintLamp(QLabel* lamp, bool lit) {
    const QVariant was = lamp->property("lit");
    if (was.isValid() && was.toBool() == lit)
        return; // a style sheet is costly to apply, and the panel redraws often
    lamp->setProperty("lit", lit);
    lamp->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #404040;"
                                       " border-radius: %2px;")
                            .arg(lit ? QStringLiteral("#00ff00") : QStringLiteral("#303030"))
                            .arg(LampSize / 2));
}

} // namespace

VirtualBoardPanel::VirtualBoardPanel(board::VirtualBoard& board, QWidget* parent)
    : QWidget(parent, Qt::Window), board_(board) {
    setWindowTitle(tr("Virtual board"));
    setObjectName("virtualBoardPanel");
    // Closing the main window ends the program even while this window is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* form = new QFormLayout(this);

    plugged_ = new QCheckBox(tr("Plugged in"), this);
    plugged_->setObjectName("plugged");
    form->addRow(tr("USB cable"), plugged_);
    connect(plugged_, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            board_.plug();
        else
            board_.unplug();
    });

    auto* adRow = new QHBoxLayout;
    adSlider_ = new QSlider(Qt::Horizontal, this);
    adSlider_->setObjectName("adInput");
    adSlider_->setRange(0, 255);
    adSlider_->setMinimumWidth(160);
    adValue_ = new QLabel(this);
    adValue_->setObjectName("adValue");
    adValue_->setMinimumWidth(adValue_->fontMetrics().horizontalAdvance("000"));
    adRow->addWidget(adSlider_);
    adRow->addWidget(adValue_);
    form->addRow(tr("A/D input"), adRow);
    connect(adSlider_, &QSlider::valueChanged, this, [this](int value) {
        adValue_->setNum(value);
        board_.setAdValue(static_cast<std::uint8_t>(value));
    });

    // Bits and lamps from 7 on the left to 0 on the right, as a binary number reads.
    auto* bitsRow = new QGridLayout;
    auto* lampsRow = new QGridLayout;
    for (int bit = 7; bit >= 0; --bit) {
        const int column = 7 - bit;
        auto* input = new QCheckBox(this);
        input->setObjectName(QStringLiteral("inputBit%1").arg(bit));
        input->setToolTip(tr("Input bit %1").arg(bit));
        bitsRow->addWidget(input, 0, column, Qt::AlignHCenter);
        bitsRow->addWidget(new QLabel(bitName(bit), this), 1, column, Qt::AlignHCenter);
        connect(input, &QCheckBox::toggled, this, &VirtualBoardPanel::inputBitToggled);
        inputBits_[bit] = input;

        auto* lamp = new QLabel(this);
        lamp->setObjectName(QStringLiteral("portDLamp%1").arg(bit));
        lamp->setFixedSize(LampSize, LampSize);
        lamp->setToolTip(tr("Port D bit %1").arg(bit));
        paintLamp(lamp, false);
        lampsRow->addWidget(lamp, 0, column, Qt::AlignHCenter);
        lampsRow->addWidget(new QLabel(bitName(bit), this), 1, column, Qt::AlignHCenter);
        portDLamps_[bit] = lamp;
    }
    form->addRow(tr("Input bits"), bitsRow);
    form->addRow(tr("Port D"), lampsRow);

    lastText_ = new QLabel(this);
    lastText_->setObjectName("lastText");
    lastText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lastText_->setTextFormat(Qt::PlainText); // what the console sent, never markup
    form->addRow(tr("Text received"), lastText_);
    lastClockText_ = new QLabel(this);
    lastClockText_->setObjectName("lastClockText");
    lastClockText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lastClockText_->setTextFormat(Qt::PlainText); // what the console sent, never markup
    form->addRow(tr("Clock received"), lastClockText_);

    answerText_ = new QLineEdit(this);
    answerText_->setObjectName("answerText");
    answerText_->setMaxLength(board::VirtualBoard::AnswerTextLength);
    answerText_->setToolTip(tr("What the board answers to a text request (16 characters)"));
    form->addRow(tr("Answer text"), answerText_);
    // textEdited comes from the operator only, never from refresh().
    connect(answerText_, &QLineEdit::textEdited, this, [this](const QString& text) {
        // Read by the console as Windows-1252, as the real firmware's texts are.
        board_.setAnswerText(QByteArray::fromStdString(hid::toWindows1252(text.toStdU32String())));
    });

    loopFlag_ = new QLabel(this);
    loopFlag_->setObjectName("loopFlag");
    form->addRow(tr("Loop flag"), loopFlag_);
    reportsIn_ = new QLabel(this);
    reportsIn_->setObjectName("reportsIn");
    form->addRow(tr("Reports in"), reportsIn_);
    reportsOut_ = new QLabel(this);
    reportsOut_->setObjectName("reportsOut");
    form->addRow(tr("Reports out"), reportsOut_);

    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(RefreshInterval);
    connect(&refreshTimer_, &QTimer::timeout, this, &VirtualBoardPanel::refresh);
    connect(&board_, &board::VirtualBoard::stateChanged, this, &VirtualBoardPanel::scheduleRefresh);
    refresh();
}

VirtualBoardPanel::~VirtualBoardPanel() = default;

void VirtualBoardPanel::scheduleRefresh() {
    if (!refreshTimer_.isActive()) refreshTimer_.start();
}

void VirtualBoardPanel::inputBitToggled() {
    std::uint8_t bits = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (inputBits_[bit]->isChecked()) bits |= static_cast<std::uint8_t>(1U << bit);
    }
    board_.setInputBits(bits);
}

void VirtualBoardPanel::refresh() {
    ++refreshCount_;
    {
        // The board's own state is shown, not sent back to it.
        const QSignalBlocker blockPlug(plugged_);
        plugged_->setChecked(board_.isPlugged());
    }
    {
        const QSignalBlocker blockSlider(adSlider_);
        adSlider_->setValue(board_.adValue());
    }
    adValue_->setNum(board_.adValue());
    for (int bit = 0; bit < 8; ++bit) {
        const QSignalBlocker blockBit(inputBits_[bit]);
        inputBits_[bit]->setChecked((board_.inputBits() >> bit) & 1U);
        paintLamp(portDLamps_[bit], (board_.portD() >> bit) & 1U);
    }
    lastText_->setText(fromBoardText(board_.lastText()));
    lastClockText_->setText(fromBoardText(board_.lastClockText()));
    // Leave the line alone while the operator is typing in it.
    const QString answer = fromBoardText(board_.answerText());
    if (!answerText_->hasFocus() && answerText_->text() != answer) answerText_->setText(answer);
    loopFlag_->setNum(board_.loopFlag());
    reportsIn_->setText(QString::number(board_.reportsReceived()));
    reportsOut_->setText(QString::number(board_.reportsSent()));
}

} // namespace panel
