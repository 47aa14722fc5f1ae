#include "window/DisplayText.h"

namespace window {

QChar VisibleChar(char16_t latin1) {
    constexpr char16_t ControlPictures = 0x2400; // U+2400 "␀" stands for code 0, and so on
    constexpr char16_t DeletePicture = 0x2421;
    if (latin1 < 0x20) return QChar(static_cast<char16_t>(ControlPictures + latin1));
    if (latin1 == 0x7F) return QChar(DeletePicture);
    if (latin1 >= 0x80 && latin1 <= 0x9F) return QChar(QChar::ReplacementCharacter);
    return QChar(latin1);
}

QString VisibleText(QString text) {
    for (QChar& character : text)
        character = VisibleChar(character.unicode());
    return text;
}

} // namespace window
