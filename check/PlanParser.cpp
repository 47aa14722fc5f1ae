#include "check/PlanParser.h"

#include "check/StepConsistency.h"
#include "protocol/ReportLayout.h"
#include "tomlfile/TextPlace.h"
#include "tomlfile/TomlFile.h"

#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <cctype>
#include <functional>
#include <set>
#include <toml++/toml.h>

namespace check {
namespace {

using tomlfile::BeginOf;
using tomlfile::TextPlace;

constexpr std::int64_t ByteMax = 255;
constexpr double LongestMs = 3'600'000; // an hour
constexpr std::size_t LongestName = 200;
/// As long as a name: every run's result repeats it, and its JSON record may spell each
/// character in six.
constexpr std::size_t LongestPattern = LongestName;
/// The most step runs a plan may ask for, its steps' `repeat` added up. Every run's result is
/// kept for the records: at this many, with the largest results (a name and a pattern of
/// control characters in each) and JUnit and JSON records, the program stays under 200 MB.
constexpr std::int64_t MostStepRuns = 10'000;
/// The most extra tries a step may have.
constexpr std::int64_t MostRetries = 100;
/// What the operator is told: a few lines at most.
constexpr std::size_t LongestOperatorText = 500;

/// One key a step may have: how to read it into the step, and what it allows (for the error).
struct Field {
    std::string_view key;
    std::string allowed;
    /// False when the node has the wrong type or is out of range.
    std::function<bool(const toml::node&, Step&)> read;
};

/// How a field reaches the member of a step it reads into: `step.*member`, or
/// `(step.*part).*member` for a member of one of its limits.
template <class Member> auto At(Member Step::*member) {
    return [member](Step& step) -> Member& { return step.*member; };
}
template <class Part, class Member> auto At(Part Step::*part, Member Part::*member) {
    return [part, member](Step& step) -> Member& { return step.*part.*member; };
}

/// An integer in a range; `why` is told after the range when it is not plain.
template <class Access>
Field Integer(std::string_view key, std::int64_t lowest, std::int64_t highest, Access access,
              const std::string& why = "") {
    return {key,
            "an integer from " + std::to_string(lowest) + " to " + std::to_string(highest) +
                (why.empty() ? "" : " (" + why + ")"),
            [=](const toml::node& node, Step& step) {
                const auto value = node.value_exact<std::int64_t>();
                if (!value || *value < lowest || *value > highest) return false;
                access(step) = *value;
                return true;
            }};
}

template <class Access> Field Byte(std::string_view key, Access access) {
    return Integer(key, 0, ByteMax, access);
}

template <class Access> Field Milliseconds(std::string_view key, Access access) {
    return {key, "a number of milliseconds above 0, at most 3600000",
            [=](const toml::node& node, Step& step) {
                const auto value = node.value<double>(); // integers too
                if (!value || !(*value > 0 && *value <= LongestMs)) return false;
                access(step) = *value;
                return true;
            }};
}

/// How long a text is, in UTF-16 units as the reports' texts count them.
std::size_t TextLength(const std::string& text) {
    return std::size_t(QString::fromStdString(text).size());
}

/// A string of at most `longest` characters.
template <class Access> Field Text(std::string_view key, std::size_t longest, Access access) {
    return {key, "a string of at most " + std::to_string(longest) + " characters",
            [=](const toml::node& node, Step& step) {
                const auto value = node.value_exact<std::string>();
                if (!value || TextLength(*value) > longest) return false;
                access(step) = *value;
                return true;
            }};
}

template <class Access> Field Boolean(std::string_view key, Access access) {
    return {key, "true or false", [=](const toml::node& node, Step& step) {
                const auto value = node.value_exact<bool>();
                if (!value) return false;
                access(step) = *value;
                return true;
            }};
}

/// Whether `pattern` is a regular expression the pattern engine takes, and short enough.
bool GoodPattern(const std::string& pattern) {
    return pattern.size() <= LongestPattern &&
           QRegularExpression(QString::fromStdString(pattern)).isValid();
}

template <class Access> Field Pattern(std::string_view key, Access access) {
    return {key,
            "a valid regular expression (Perl syntax) of at most " +
                std::to_string(LongestPattern) + " bytes",
            [=](const toml::node& node, Step& step) {
                const auto value = node.value_exact<std::string>();
                if (!value || !GoodPattern(*value)) return false;
                access(step) = *value;
                return true;
            }};
}

Field Pattern() {
    return {"matches",
            "a valid regular expression (Perl syntax) of at most " +
                std::to_string(LongestPattern) + " bytes",
            [](const toml::node& node, Step& step) {
                const auto value = node.value_exact<std::string>();
                if (!value || !GoodPattern(*value)) return false;
                step.text.matches = *value;
                return true;
            }};
}

template <class Access> Field BitList(std::string_view key, Access access) {
    return {key, "an array of bit numbers from 0 to 7", [=](const toml::node& node, Step& step) {
                const toml::array* array = node.as_array();
                if (!array) return false;
                std::vector<std::int64_t> bits;
                for (const toml::node& element : *array) {
                    const auto bit = element.value_exact<std::int64_t>();
                    if (!bit || *bit < 0 || *bit > 7) return false;
                    bits.push_back(*bit);
                }
                access(step) = bits;
                return true;
            }};
}

/// `bytes`: a table of byte index to value, or an array of values from TextIndex on.
Field Bytes() {
    constexpr auto first = std::int64_t(protocol::TextIndex);
    constexpr auto last = std::int64_t(protocol::ReportSize) - 1;
    return {"bytes",
            "a table of byte index (2 to 32) = value (0 to 255), or an array of at most 31 values "
            "(0 to 255) placed from byte 2 on",
            [=](const toml::node& node, Step& step) {
                std::map<std::int64_t, std::int64_t> bytes;
                const auto place = [&](std::int64_t index, const toml::node& value) {
                    const auto byte = value.value_exact<std::int64_t>();
                    if (!byte || *byte < 0 || *byte > ByteMax || index < first || index > last)
                        return false;
                    bytes[index] = *byte;
                    return true;
                };
                if (const toml::array* array = node.as_array()) {
                    std::int64_t index = first;
                    for (const toml::node& value : *array)
                        if (!place(index++, value)) return false;
                } else if (const toml::table* table = node.as_table()) {
                    for (const auto& [key, value] : *table) {
                        const std::string text(key.str());
                        if (text.empty() || text.size() > 2 ||
                            text.find_first_not_of("0123456789") != std::string::npos ||
                            !place(std::stoll(text), value))
                            return false;
                    }
                } else {
                    return false;
                }
                step.bytes = bytes;
                return true;
            }};
}

/// The keys every step may have.
std::vector<Field> CommonFields() {
    return {{"type", "", [](const toml::node&, Step&) { return true; }},
            Text("name", LongestName, At(&Step::name)),
            Integer("repeat", 1, MostStepRuns, At(&Step::repeat)),
            Integer("retry", 0, MostRetries, At(&Step::retry)),
            Boolean("stop_on_fail", At(&Step::stopOnFail))};
}

/// The keys of a step that limit the value it reads, with the key that names that value in a
/// send step's `answer`.
struct AnswerValue {
    std::string_view key;
    StepType read;
};
constexpr AnswerValue AnswerValues[] = {
    {"ad", StepType::ReadAd}, {"inputs", StepType::ReadInputs}, {"text", StepType::ReadText}};

struct Schema;
Schema SchemaOf(StepType type);
std::string KeyList(const std::vector<Field>& fields);
/// The keys of a read step that limit its value: every key it takes but the common ones and
/// those about its requests.
std::vector<Field> LimitFields(StepType read);

/// `answer`: a table of the values named in AnswerValues, each a table of the limits its read
/// step takes.
Field Answer() {
    std::string allowed = "a table of";
    for (const AnswerValue& value : AnswerValues)
        allowed += std::string(value.key == "ad" ? " " : ", ") + std::string(value.key) + " = { " +
                   KeyList(LimitFields(value.read)) + " }";
    allowed += ", each limit as its read step (" + std::string(TypeName(StepType::ReadAd)) +
               ", ...) takes it, the limits able to meet together";
    return {"answer", allowed, [](const toml::node& node, Step& step) {
                const toml::table* table = node.as_table();
                if (!table || table->empty()) return false;
                step.answer.clear();
                for (const auto& [key, limitsNode] : *table) {
                    const std::string_view name = key.str();
                    const auto value =
                        std::find_if(std::begin(AnswerValues), std::end(AnswerValues),
                                     [&](const AnswerValue& v) { return v.key == name; });
                    const toml::table* limits = limitsNode.as_table();
                    if (value == std::end(AnswerValues) || !limits) return false;
                    Step read;
                    read.type = value->read;
                    const std::vector<Field> fields = LimitFields(value->read);
                    for (const auto& [limitKey, limit] : *limits) {
                        const std::string_view limitName = limitKey.str();
                        const auto field =
                            std::find_if(fields.begin(), fields.end(),
                                         [&](const Field& f) { return f.key == limitName; });
                        if (field == fields.end() || !field->read(limit, read)) return false;
                    }
                    if (read.bits.mask.has_value() != read.bits.value.has_value() ||
                        FindStepProblem(read))
                        return false;
                    step.answer.push_back(std::move(read));
                }
                return true;
            }};
}

Field AnswerWithin() {
    return Milliseconds("answer_within_ms", At(&Step::answerWithinMs));
}

/// What a read step takes to ask again until its answer keeps the limits.
std::vector<Field> UntilFields() {
    return {Boolean("until", At(&Step::until)), Milliseconds("within_ms", At(&Step::withinMs))};
}

/// What every operator step takes: what the operator is told, and how long they may take.
std::vector<Field> OperatorFields() {
    return {Text("text", LongestOperatorText, At(&Step::operatorText)),
            Integer("timeout_ms", 1, std::int64_t(LongestMs), At(&Step::timeoutMs))};
}

struct Schema {
    std::vector<Field> fields;
    std::set<std::string_view> required;
};

Schema SchemaOf(StepType type) {
    std::vector<Field> fields = CommonFields();
    std::set<std::string_view> required;
    const auto add = [&](std::vector<Field> more) {
        fields.insert(fields.end(), more.begin(), more.end());
    };
    switch (type) {
    case StepType::ReadAd:
        add({Byte("min", At(&Step::number, &NumberLimits::min)),
             Byte("max", At(&Step::number, &NumberLimits::max)),
             Byte("equals", At(&Step::number, &NumberLimits::equals)), AnswerWithin()});
        add(UntilFields());
        break;
    case StepType::ReadInputs:
        add({Byte("equals", At(&Step::number, &NumberLimits::equals)),
             Byte("mask", At(&Step::bits, &BitLimits::mask)),
             Byte("value", At(&Step::bits, &BitLimits::value)),
             BitList("bits_high", At(&Step::bits, &BitLimits::bitsHigh)),
             BitList("bits_low", At(&Step::bits, &BitLimits::bitsLow)), AnswerWithin()});
        add(UntilFields());
        break;
    case StepType::ReadText:
        add({Text("equals", protocol::AnswerTextLength, At(&Step::text, &TextLimits::equals)),
             Text("prefix", protocol::AnswerTextLength, At(&Step::text, &TextLimits::prefix)),
             Pattern(), AnswerWithin()});
        add(UntilFields());
        break;
    case StepType::WritePort:
        add({Byte("value", At(&Step::value))});
        required = {"value"};
        break;
    case StepType::SendText:
        add({Text("text", protocol::SendTextLength, At(&Step::sendText))});
        required = {"text"};
        break;
    case StepType::SendClock:
        break;
    case StepType::Send:
        add({Byte("code", At(&Step::code)), Bytes(), Byte("expect_code", At(&Step::expectCode)),
             Answer(), AnswerWithin()});
        required = {"code"};
        break;
    case StepType::Poll:
        add({Integer("duration_ms", 2 * PollPeriodMs, std::int64_t(LongestMs),
                     At(&Step::durationMs),
                     "two polling periods of " + std::to_string(PollPeriodMs) +
                         " ms at least: one A/D and one inputs request"),
             Integer("max_missed", 0, std::int64_t(LongestMs),
                     At(&Step::poll, &PollLimits::maxMissed)),
             Milliseconds("median_ms", At(&Step::poll, &PollLimits::medianMs)),
             Milliseconds("p99_ms", At(&Step::poll, &PollLimits::p99Ms)),
             Milliseconds("max_ms", At(&Step::poll, &PollLimits::maxMs)), AnswerWithin()});
        required = {"duration_ms"};
        break;
    case StepType::Wait:
        add({Integer("duration_ms", 0, std::int64_t(LongestMs), At(&Step::durationMs))});
        required = {"duration_ms"};
        break;
    case StepType::Prompt:
        add(OperatorFields());
        required = {"text"};
        break;
    case StepType::Ask:
        add(OperatorFields());
        add({Boolean("expect", At(&Step::expect))});
        required = {"text", "expect"};
        break;
    case StepType::Scan:
        add(OperatorFields());
        add({Pattern("pattern", At(&Step::pattern)),
             Boolean("equals_serial", At(&Step::equalsSerial))});
        required = {"text"};
        break;
    }
    return {std::move(fields), std::move(required)};
}

std::vector<Field> LimitFields(StepType read) {
    std::vector<Field> limits;
    const std::vector<Field> common = CommonFields();
    for (Field& field : SchemaOf(read).fields)
        if (field.key != "answer_within_ms" && field.key != "until" && field.key != "within_ms" &&
            std::none_of(common.begin(), common.end(),
                         [&](const Field& common) { return common.key == field.key; }))
            limits.push_back(std::move(field));
    return limits;
}

std::vector<std::string_view> KeysOf(const std::vector<Field>& fields) {
    std::vector<std::string_view> keys;
    for (const Field& field : fields)
        keys.push_back(field.key);
    return keys;
}

std::string KeyList(const std::vector<Field>& fields) {
    std::string list;
    for (const Field& field : fields)
        list += (list.empty() ? "" : ", ") + std::string(field.key);
    return list;
}

/// Every key some step takes.
std::vector<std::string_view> AllStepKeys() {
    std::vector<std::string_view> keys;
    for (int type = 0; type <= int(StepType::Scan); ++type)
        for (const std::string_view key : KeysOf(SchemaOf(StepType(type)).fields))
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    return keys;
}

/// " (did you mean 'type'?)" for a key that differs from a known one only in case or in
/// '-' for '_'; else nothing.
std::string DidYouMean(std::string_view key, const std::vector<std::string_view>& known) {
    const auto plain = [](std::string_view text) {
        std::string plain(text);
        for (char& c : plain)
            c = c == '-' ? '_' : char(std::tolower(static_cast<unsigned char>(c)));
        return plain;
    };
    for (const std::string_view candidate : known)
        if (plain(candidate) == plain(key))
            return " (did you mean '" + std::string(candidate) + "'?)";
    return {};
}

bool Before(const toml::source_position& a, const toml::source_position& b) {
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

std::string AllTypeNames() {
    std::string list;
    for (int type = 0; type <= int(StepType::Scan); ++type)
        list += (list.empty() ? "" : ", ") + std::string(TypeName(StepType(type)));
    return list;
}

/// Reads the plan's tables; the first problem ends the reading.
class PlanReader {
public:
    PlanReader(std::string file, std::string_view text, PlanError& error)
        : file_(std::move(file)), text_(text), error_(error) {}

    std::optional<Plan> read(const toml::table& root) {
        Plan plan;
        for (const auto& [key, node] : root) {
            if (key == "name") {
                const auto name = node.value_exact<std::string>();
                if (!name || name->empty() || TextLength(*name) > LongestName)
                    return fail(node.source(), "'name' must be a string of 1 to " +
                                                   std::to_string(LongestName) + " characters");
                plan.name = *name;
            } else if (key == "stop_on_fail") {
                const auto stop = node.value_exact<bool>();
                if (!stop) return fail(node.source(), "'stop_on_fail' must be true or false");
                plan.stopOnFail = *stop;
            } else if (key != "step" && key != "teardown") {
                return fail(key.source(),
                            "unknown key '" + std::string(key.str()) + "'" +
                                DidYouMean(key.str(), {std::begin(TopKeys), std::end(TopKeys)}) +
                                " at the top of the plan; allowed: name, stop_on_fail, step, "
                                "teardown");
            }
        }
        if (plan.name.empty()) return fail(root.source(), "the plan has no 'name'");
        const toml::node_view steps = root["step"];
        const toml::array* array = steps.as_array();
        if (!array || array->empty() || !array->is_array_of_tables())
            return fail(steps ? steps.node()->source() : root.source(),
                        "the plan needs at least one [[step]] table");
        if (!readSteps(*array, "step ", plan.steps)) return std::nullopt;
        if (const toml::node* teardown = root.get("teardown")) {
            const toml::array* tables = teardown->as_array();
            if (!tables || !tables->is_array_of_tables())
                return fail(teardown->source(), "'teardown' must be [[teardown]] tables of steps");
            if (!readSteps(*tables, "teardown step ", plan.teardown)) return std::nullopt;
        }
        return plan;
    }

private:
    static constexpr std::string_view TopKeys[] = {"name", "stop_on_fail", "step", "teardown"};

    bool readSteps(const toml::array& tables, const std::string& what, std::vector<Step>& steps) {
        for (std::size_t index = 0; index < tables.size(); ++index) {
            auto step = readStep(*tables[index].as_table(), what + std::to_string(index + 1));
            if (!step) return false;
            steps.push_back(std::move(*step));
        }
        return true;
    }

    std::optional<Step> readStep(const toml::table& table, const std::string& where) {
        const toml::node* typeNode = table.get("type");
        if (!typeNode) {
            // A misspelt key is likelier than a forgotten one: tell it where it is written.
            const std::vector<std::string_view> known = AllStepKeys();
            for (const auto& [key, node] : table)
                if (std::find(known.begin(), known.end(), key.str()) == known.end())
                    return fail(key.source(), where + ": unknown key '" + std::string(key.str()) +
                                                  "'" + DidYouMean(key.str(), known) +
                                                  "; every step needs a 'type', one of " +
                                                  AllTypeNames());
            return fail(table.source(),
                        where + ": 'type' is missing; it must be one of " + AllTypeNames());
        }
        const auto typeName = typeNode->value_exact<std::string>();
        const auto type = typeName ? TypeNamed(*typeName) : std::nullopt;
        if (!type)
            return fail(typeNode->source(), where + ": 'type' must be one of " + AllTypeNames());
        const std::string what = where + " (" + *typeName + ")";
        const Schema schema = SchemaOf(*type);
        Step step;
        step.type = *type;
        for (const auto& [key, node] : table) {
            const std::string_view name = key.str();
            const auto field = std::find_if(schema.fields.begin(), schema.fields.end(),
                                            [name](const Field& f) { return f.key == name; });
            if (field == schema.fields.end())
                return fail(key.source(), what + ": unknown key '" + std::string(key.str()) + "'" +
                                              DidYouMean(name, KeysOf(schema.fields)) +
                                              "; allowed: " + KeyList(schema.fields));
            if (!field->read(node, step))
                return fail(node.source(),
                            what + ": '" + std::string(key.str()) + "' must be " + field->allowed);
        }
        for (const std::string_view key : schema.required)
            if (!table.contains(key))
                return fail(table.source(), what + ": '" + std::string(key) + "' is missing");
        if (step.bits.mask.has_value() != step.bits.value.has_value())
            return fail(table.source(), what + ": 'mask' and 'value' go together");
        if (table.contains("until") != table.contains("within_ms") ||
            (table.contains("until") && !step.until))
            return fail(table.source(), what + ": 'until = true' and 'within_ms' go together");
        if (const auto problem = FindStepProblem(step))
            return fail(placeOf(*problem, table), what + ": " + problem->message);
        // Every try may be a result of its own.
        runs_ += step.repeat * (1 + step.retry);
        if (runs_ > MostStepRuns) {
            const toml::node* repeat = table.get("repeat");
            return fail(repeat ? repeat->source() : table.source(),
                        what + ": with this step the plan asks for up to " + std::to_string(runs_) +
                            " step runs (every step's 'repeat' times 1 + its 'retry', added up); a "
                            "plan may ask for at most " +
                            std::to_string(MostStepRuns));
        }
        return step;
    }

    /// Where a step's problem is told: at the value of the last of its keys in the plan, and
    /// for a character at fault, at that character (or the escape that writes it).
    TextPlace placeOf(const StepProblem& problem, const toml::table& table) const {
        const toml::node* last = nullptr;
        for (const std::string_view key : problem.keys)
            if (const toml::node* node = table.get(key))
                if (!last || Before(last->source().begin, node->source().begin)) last = node;
        if (!last) return BeginOf(table.source());
        const TextPlace value = BeginOf(last->source());
        if (!problem.character) return value;
        return tomlfile::CharacterPlace(text_, value, *problem.character);
    }

    std::nullopt_t fail(const toml::source_region& where, std::string message) {
        return fail(BeginOf(where), std::move(message));
    }
    std::nullopt_t fail(TextPlace where, std::string message) {
        error_ = {file_, where.line, where.column, std::move(message)};
        return std::nullopt;
    }

    std::string file_;
    std::string_view text_;
    PlanError& error_;
    std::int64_t runs_ = 0; ///< the step runs the steps read so far ask for
};

} // namespace

std::optional<Plan> ParsePlan(std::string_view text, const std::string& file, PlanError& error) {
    const auto root = tomlfile::ParseToml(text, file, error, "plan");
    if (!root) return std::nullopt;
    return PlanReader(file, text, error).read(*root);
}

std::optional<Plan> ParsePlanFile(const std::string& path, PlanError& error, std::string* bytes) {
    const auto text = tomlfile::ReadTomlFile(path, error, "plan");
    if (!text) return std::nullopt;
    if (bytes) *bytes = *text;
    return ParsePlan(*text, path, error);
}

} // namespace check
