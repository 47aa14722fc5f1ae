#include "window/DisplayText.h"

#include "protocol/ReportText.h"

namespace window {
namespace {

bool IsControlCode(char16_t latin1) {
    return latin1 < 0x20 || (latin1 >= 0x7F && latin1 <= 0x9F);
}

} // namespace

QString ListText(QString latin1Text) {
    constexpr char16_t Bullet = 0x2022;
    for (QChar& character : latin1Text)
        if (IsControlCode(character.unicode())) character = QChar(Bullet);
    return latin1Text;
}

QString MirrorCharacter(std::uint8_t byte) {
    if (IsControlCode(byte)) return QStringLiteral("<%1>").arg(byte);
    return QString(protocol::ByteToChar(byte));
}

} // namespace window
