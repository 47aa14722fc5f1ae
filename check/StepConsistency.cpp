#include "check/StepConsistency.h"

#include "check/StepLimits.h"
#include "hid/CodePage1252.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <bitset>
#include <cstdio>

namespace check {
namespace {

std::string Key(std::string_view key) {
    return std::string("'").append(key).append("'");
}

/// "\"✓\" (U+2713)"; only the code for a character a terminal would not show.
std::string CharacterName(char32_t character) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
    if (!QChar::isPrint(character)) return code;
    return Quoted(QString::fromUcs4(&character, 1).toStdString()) + " (" + code + ")";
}

/// The board sends and takes texts in Windows-1252; a character it lacks would go as '?'.
std::optional<StepProblem> OutsideCodePage(std::string_view key,
                                           const std::optional<std::string>& text,
                                           std::string_view consequence) {
    if (!text) return std::nullopt;
    const QList<uint> characters = QString::fromStdString(*text).toUcs4();
    for (qsizetype at = 0; at < characters.size(); ++at)
        if (hid::windows1252Byte(characters[at]) == '?' && characters[at] != U'?')
            return StepProblem{{key},
                               Key(key) + " holds " + CharacterName(characters[at]) +
                                   ", which the board's code page, Windows-1252, does not have" +
                                   std::string(consequence),
                               std::size_t(at)};
    return std::nullopt;
}

/// An answer text comes in Windows-1252 and ends at its first zero byte.
std::optional<StepProblem> AnswerCannotHold(std::string_view key,
                                            const std::optional<std::string>& text) {
    if (auto problem = OutsideCodePage(key, text, ": no answer can hold it")) return problem;
    if (!text) return std::nullopt;
    const qsizetype zero = QString::fromStdString(*text).toUcs4().indexOf(0u);
    if (zero >= 0)
        return StepProblem{{key},
                           Key(key) + " holds the character 0 (U+0000), where the board's answer "
                                      "text ends: no answer can hold it",
                           std::size_t(zero)};
    return std::nullopt;
}

/// One limit of a read step, as the keys that give it, with a step that holds it alone.
struct Limit {
    std::vector<std::string_view> keys;
    Step alone;
};

/// Adds the limit that `copy` sets on a bare step of the step's type.
template <class Copy>
void AddLimit(std::vector<Limit>& limits, const Step& step, std::vector<std::string_view> keys,
              Copy copy) {
    Step alone;
    alone.type = step.type;
    copy(alone);
    limits.push_back({std::move(keys), std::move(alone)});
}

/// The step's limits one by one.
std::vector<Limit> LimitsOf(const Step& step) {
    std::vector<Limit> limits;
    const NumberLimits& number = step.number;
    const BitLimits& bits = step.bits;
    const TextLimits& text = step.text;
    if (number.equals)
        AddLimit(limits, step, {"equals"}, [&](Step& s) { s.number.equals = number.equals; });
    if (number.min || number.max) {
        std::vector<std::string_view> keys;
        if (number.min) keys.push_back("min");
        if (number.max) keys.push_back("max");
        AddLimit(limits, step, keys, [&](Step& s) {
            s.number.min = number.min;
            s.number.max = number.max;
        });
    }
    if (bits.mask)
        AddLimit(limits, step, {"mask", "value"}, [&](Step& s) {
            s.bits.mask = bits.mask;
            s.bits.value = bits.value;
        });
    if (!bits.bitsHigh.empty())
        AddLimit(limits, step, {"bits_high"}, [&](Step& s) { s.bits.bitsHigh = bits.bitsHigh; });
    if (!bits.bitsLow.empty())
        AddLimit(limits, step, {"bits_low"}, [&](Step& s) { s.bits.bitsLow = bits.bitsLow; });
    if (text.equals)
        AddLimit(limits, step, {"equals"}, [&](Step& s) { s.text.equals = text.equals; });
    if (text.prefix)
        AddLimit(limits, step, {"prefix"}, [&](Step& s) { s.text.prefix = text.prefix; });
    if (text.matches)
        AddLimit(limits, step, {"matches"}, [&](Step& s) { s.text.matches = text.matches; });
    return limits;
}

/// "'min'/'max' (100..200)": the keys, and the limit as the step's result shows it.
std::string Shown(const Limit& limit) {
    std::string keys;
    for (const std::string_view key : limit.keys) {
        if (!keys.empty()) keys += '/';
        keys += Key(key);
    }
    const Step& alone = limit.alone;
    std::string undecided;
    const std::string shown =
        alone.type == StepType::ReadText ? AnswerText({}, alone.text, undecided).limit
        : alone.type == StepType::ReadAd ? AdValue(0, alone.number).limit
                                         : InputBits(0, alone.number, alone.bits).limit;
    return keys + " (" + shown + ")";
}

StepProblem Contradiction(const Limit& first, const Limit& second) {
    StepProblem problem{first.keys,
                        "no answer passes both " + Shown(first) + " and " + Shown(second)};
    problem.keys.insert(problem.keys.end(), second.keys.begin(), second.keys.end());
    return problem;
}

/// The answer bytes that pass a limit, judged as the run judges them.
std::bitset<256> PassingBytes(const Limit& limit) {
    std::bitset<256> passing;
    for (int answer = 0; answer <= 0xFF; ++answer)
        passing[answer] = KeepsNumbers(std::uint8_t(answer), limit.alone.number) &&
                          KeepsBits(std::uint8_t(answer), limit.alone.bits);
    return passing;
}

/// The first two limits no answer byte passes together. Two are enough to look at: each limit
/// alone can be met, and apart from `equals` (one byte) each sets single bits or a range, and
/// the steps that take bit limits take no range.
std::optional<StepProblem> ByteContradiction(const std::vector<Limit>& limits) {
    std::vector<std::bitset<256>> passing;
    for (const Limit& limit : limits)
        passing.push_back(PassingBytes(limit));
    for (std::size_t a = 0; a < limits.size(); ++a)
        for (std::size_t b = a + 1; b < limits.size(); ++b)
            if ((passing[a] & passing[b]).none()) return Contradiction(limits[a], limits[b]);
    return std::nullopt;
}

std::optional<StepProblem> NumberProblem(const Step& step) {
    const NumberLimits& number = step.number;
    const BitLimits& bits = step.bits;
    if (number.min && number.max && *number.min > *number.max)
        return StepProblem{{"max"},
                           "'max' must be at least 'min' (" + std::to_string(*number.min) + ")"};
    if (bits.mask && bits.value && (*bits.value & ~*bits.mask) != 0)
        return StepProblem{{"mask", "value"},
                           "'value' " + Hex(*bits.value) + " has bits outside 'mask' " +
                               Hex(*bits.mask) +
                               "; only the input bits under the mask are compared, so give their "
                               "value alone"};
    for (const std::int64_t bit : bits.bitsHigh)
        if (std::find(bits.bitsLow.begin(), bits.bitsLow.end(), bit) != bits.bitsLow.end())
            return StepProblem{{"bits_high", "bits_low"},
                               "bit " + std::to_string(bit) +
                                   " is in both 'bits_high' and 'bits_low'"};
    return ByteContradiction(LimitsOf(step));
}

/// An expected text against the other text limits; those alone can always be met together
/// as far as can be told here (a prefix and a pattern are not compared).
std::optional<StepProblem> TextProblem(const Step& step) {
    const TextLimits& text = step.text;
    if (auto problem = AnswerCannotHold("equals", text.equals)) return problem;
    if (auto problem = AnswerCannotHold("prefix", text.prefix)) return problem;
    if (!text.equals) return std::nullopt;
    const std::vector<Limit> limits = LimitsOf(step);
    const QString expected = QString::fromStdString(*text.equals);
    for (const Limit& other : limits) {
        // A pattern the engine gives up on is left for the run to tell.
        std::string undecided;
        if (other.keys.front() == "equals" ||
            AnswerText(expected, other.alone.text, undecided).passed || !undecided.empty())
            continue;
        StepProblem problem = Contradiction(limits.front(), other);
        if (other.keys.front() == "matches")
            problem.message += "; a pattern must match the whole text";
        return problem;
    }
    return std::nullopt;
}

/// A poll's limits on its answer times: each must be one that can fail.
std::optional<StepProblem> PollProblem(const Step& step) {
    struct Figure {
        std::string_view key;
        std::optional<double> limit;
        const char* name;
    };
    const Figure figures[] = {{"median_ms", step.poll.medianMs, "the median answer time"},
                              {"p99_ms", step.poll.p99Ms, "the 99th percentile"},
                              {"max_ms", step.poll.maxMs, "the longest answer time"}};
    for (const Figure& low : figures)
        for (const Figure& high : figures)
            if (&low < &high && low.limit && high.limit && *low.limit > *high.limit)
                return StepProblem{{low.key, high.key},
                                   Key(low.key) + " (" + LimitMs(*low.limit) + ") is above " +
                                       Key(high.key) + " (" + LimitMs(*high.limit) + "), but " +
                                       low.name + " is never above " + high.name +
                                       "; the limits must keep median_ms <= p99_ms <= max_ms"};
    const double within = step.answerWithinMs.value_or(DefaultAnswerWithinMs);
    const std::string withinShown = LimitMs(within) + (step.answerWithinMs ? "" : ", the default");
    for (const Figure& figure : figures)
        if (figure.limit && *figure.limit > within)
            return StepProblem{{figure.key, "answer_within_ms"},
                               Key(figure.key) + " (" + LimitMs(*figure.limit) +
                                   ") is above 'answer_within_ms' (" + withinShown +
                                   "): a later answer counts as missed, so no answer time above "
                                   "it is ever measured"};
    return std::nullopt;
}

} // namespace

std::optional<StepProblem> FindStepProblem(const Step& step) {
    switch (step.type) {
    case StepType::ReadAd:
    case StepType::ReadInputs:
        return NumberProblem(step);
    case StepType::ReadText:
        return TextProblem(step);
    case StepType::SendText:
        return OutsideCodePage("text", step.sendText, "; it would reach the board as '?'");
    case StepType::Poll:
        return PollProblem(step);
    case StepType::WritePort:
    case StepType::SendClock:
    case StepType::Send:
    case StepType::Wait:
    case StepType::Prompt:
    case StepType::Ask:
    case StepType::Scan:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace check
