// Operator texts of any content and length (any UTF-16, unpaired surrogates included, up to
// 100,000 characters) into the number rule in several locales, Send Text and Send USB Command.
//
// Checks, besides the sanitizers: the number rule ignores blanks around a text and reads back
// the locale's own writing of every byte; a click sends at most one report; Send Text writes
// exactly the report id, the command and the low bytes of the first 17 characters and leaves
// bytes 19 to 32 as they were; a command or port text sends its byte when the number rule
// accepts the text and sends nothing, changing nothing, when it does not.
#include "FuzzSupport.h"
#include "commands/NumberRule.h"
#include "hid/HidLayer.h"
#include "window/MainForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <vector>

namespace {

using fuzzsupport::ByteReader;

constexpr qsizetype MaxTextLength = 100'000;

/// A layer with the board attached as handle 1 that keeps every report written to it.
class RecordingLayer final : public hid::HidLayer {
public:
    std::vector<hid::Report> writes;

    bool Connect(QObject*) override { return true; }
    bool Disconnect() override { return true; }
    int GetItemCount() override { return 1; }
    hid::Handle GetHandle(int, int) override { return 1; }
    int GetVendorID(hid::Handle) override { return 0x1234; }
    int GetProductID(hid::Handle) override { return 0x0001; }
    bool GetVendorName(hid::Handle, std::span<char> buffer) override { return empty(buffer); }
    bool GetProductName(hid::Handle, std::span<char> buffer) override { return empty(buffer); }
    bool GetSerialNumber(hid::Handle, std::span<char> buffer) override { return empty(buffer); }
    bool SetReadNotify(hid::Handle, bool) override { return true; }
    bool Read(hid::Handle, hid::Report&) override { return false; }
    bool WriteEx(int, int, const hid::Report& buffer) override {
        writes.push_back(buffer);
        return true;
    }

private:
    static bool empty(std::span<char> buffer) {
        if (!buffer.empty()) buffer[0] = '\0';
        return true;
    }
};

const std::array<QLocale, 6> Locales{
    QLocale::c(),
    QLocale(QLocale::English, QLocale::UnitedStates),
    QLocale(QLocale::German, QLocale::Germany),
    QLocale(QLocale::French, QLocale::France),
    QLocale(QLocale::Arabic, QLocale::Egypt), // its own digits and separators
    QLocale(QLocale::Hindi, QLocale::India),
};

/// The text: UTF-16 code units straight from the bytes, or the bytes read as UTF-8; repeated up
/// to `stretch` characters when that is longer, so that a short input can reach the limit.
QString TextFrom(std::span<const std::uint8_t> bytes, bool utf16, qsizetype stretch) {
    QString text;
    if (utf16) {
        text.resize(static_cast<qsizetype>(bytes.size() / 2));
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
    } else {
        text = QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<qsizetype>(bytes.size()));
    }
    if (!text.isEmpty() && text.size() < stretch)
        text = text.repeated(stretch / text.size() + 1).left(stretch);
    return text.left(MaxTextLength);
}

void CheckNumberRule(const QString& text, const QLocale& locale) {
    const auto value = commands::ParseByte(text, locale);
    FUZZ_CHECK(commands::ParseByte(" " + text + "\t ", locale) == value);
    if (value) FUZZ_CHECK(commands::ParseByte(locale.toString(int{*value}), locale) == value);
}

/// Clicks `button` with `text` in `box`; the number rule decides whether `index` gets a byte.
void CheckNumberButton(window::MainForm& form, RecordingLayer& layer, QLineEdit* box,
                       QPushButton* button, const QString& text, std::size_t index, int command) {
    box->setText(text);
    const hid::Report before = form.bufferOut();
    const std::size_t writes = layer.writes.size();
    const auto value = commands::ParseByte(box->text());
    button->click();
    if (!value) {
        FUZZ_CHECK(layer.writes.size() == writes);
        FUZZ_CHECK(form.bufferOut() == before);
        return;
    }
    FUZZ_CHECK(layer.writes.size() == writes + 1);
    hid::Report expected = before;
    expected[1] = static_cast<std::uint8_t>(command < 0 ? *value : command);
    expected[index] = *value;
    FUZZ_CHECK(layer.writes.back() == expected);
    FUZZ_CHECK(form.bufferOut() == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::EnsureApplication();
    ByteReader input(data, size);
    const std::uint8_t mode = input.byte();
    const QLocale& locale = Locales[mode % Locales.size()];
    // Mostly the text as it is; one input in four is stretched to up to 100,000 characters.
    const qsizetype stretch = (mode & 0x60) == 0x60 ? qsizetype{input.word()} * 2 : 0;
    const QString text = TextFrom(input.rest(), mode & 0x80, stretch);

    CheckNumberRule(text, locale);
    // The window reads numbers in the default locale.
    QLocale::setDefault(locale);

    RecordingLayer layer;
    window::MainForm form(layer);
    form.OnPlugged(1);
    const window::Controls& ui = form.controls();

    // Send Text: the report id, the command and the first 17 characters' low bytes.
    ui.WriteText->setText(text);
    const QString shown = ui.WriteText->text();
    const hid::Report before = form.bufferOut();
    const std::size_t writes = layer.writes.size();
    ui.btnSendText->click();
    FUZZ_CHECK(layer.writes.size() == writes + 1);
    hid::Report expected = before;
    std::fill_n(expected.begin(), 18, 0);
    expected[1] = 1;
    for (qsizetype k = 0; k < std::min<qsizetype>(shown.size(), 17); ++k)
        expected[2 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(shown[k].unicode());
    FUZZ_CHECK(layer.writes.back() == expected);
    FUZZ_CHECK(form.bufferOut() == expected);

    // Send USB Command and Write Port, on top of what Send Text left in the buffer.
    CheckNumberButton(form, layer, ui.cmdUSB, ui.USB_Command, text, 1, -1);
    CheckNumberButton(form, layer, ui.txtWritePort, ui.btnWritePort, text, 21, 14);

    QLocale::setDefault(QLocale::c());
    fuzzsupport::DrainEvents();
    return 0;
}
