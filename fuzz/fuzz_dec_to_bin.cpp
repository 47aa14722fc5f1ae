// DecToBin for every byte and every starting count a 16-bit count can hold.
//
// Checks, besides the sanitizers: the count only grows, in steps of 8, and stops at the first
// count whose largest value reaches the byte; the text has that many characters, all 0 or 1,
// and read as a binary number (leading zeros and all) it is the byte.
#include "FuzzSupport.h"
#include "window/MainForm.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::ByteReader input(data, size);
    const std::uint8_t value = input.byte();
    // Mostly counts up to 39; one input in four a count from -511 to 511, and one in 256 any
    // 16-bit count (a long text: kept rare so the runs stay quick).
    const std::uint8_t mode = input.byte();
    const auto word = static_cast<std::int16_t>(input.word());
    const auto given = static_cast<std::int16_t>(mode == 0xFF      ? word
                                                 : (mode & 3) == 3 ? word % 512
                                                                   : (word & 0xFF) % 40);

    std::int16_t bits = given;
    const QString text = window::MainForm::DecToBin(value, bits);

    const auto fits = [&](int count) { return std::pow(2.0, count) - 1 >= value; };
    FUZZ_CHECK(bits >= given);
    FUZZ_CHECK((bits - given) % 8 == 0);
    FUZZ_CHECK(fits(bits));
    if (bits > given) FUZZ_CHECK(!fits(bits - 8));
    FUZZ_CHECK(text.size() == std::max<int>(bits, 0));
    unsigned number = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        FUZZ_CHECK(text[i] == u'0' || text[i] == u'1');
        const qsizetype fromRight = text.size() - 1 - i;
        if (fromRight >= 8)
            FUZZ_CHECK(text[i] == u'0');
        else if (text[i] == u'1')
            number |= 1u << fromRight;
    }
    FUZZ_CHECK(number == value);
    return 0;
}
