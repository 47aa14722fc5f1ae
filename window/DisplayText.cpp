#include "window/DisplayText.h"

#include "protocol/ReportText.h"

namespace window {
namespace {

/// C0, DEL, and the C1 codes that decoding leaves for bytes Windows-1252 does not define.
bool IsControlCode(QChar character) {
    const char16_t code = character.unicode();
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

} // namespace

QString ListText(QStringView decodedText) {
    const qsizetype end = decodedText.indexOf(QChar(0));
    QString line = (end < 0 ? decodedText : decodedText.first(end)).toString();
    for (QChar& character : line)
        if (IsControlCode(character)) character = QChar(ControlCodeMark);
    return line;
}

QString MirrorCharacter(std::uint8_t byte) {
    const QChar character = protocol::ByteToChar(byte);
    if (IsControlCode(character)) return QStringLiteral("<%1>").arg(byte);
    return QString(character);
}

} // namespace window
