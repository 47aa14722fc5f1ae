#include "support/PlanToml.h"

#include <sstream>
#include <toml++/toml.h>

namespace testsupport {
namespace {

using namespace check;

template <class Value>
void Put(toml::table& table, std::string_view key, const std::optional<Value>& value) {
    if (value) table.insert(key, *value);
}

void PutBits(toml::table& table, std::string_view key, const std::vector<std::int64_t>& bits) {
    if (bits.empty()) return;
    toml::array array;
    for (const std::int64_t bit : bits)
        array.push_back(bit);
    table.insert(key, std::move(array));
}

toml::table StepTable(const Step& step) {
    toml::table table;
    table.insert("type", std::string(TypeName(step.type)));
    if (!step.name.empty()) table.insert("name", step.name);
    if (step.repeat != 1) table.insert("repeat", step.repeat);
    Put(table, "answer_within_ms", step.answerWithinMs);
    switch (step.type) {
    case StepType::ReadAd:
    case StepType::ReadInputs:
        Put(table, "min", step.number.min);
        Put(table, "max", step.number.max);
        Put(table, "equals", step.number.equals);
        Put(table, "mask", step.bits.mask);
        Put(table, "value", step.bits.value);
        PutBits(table, "bits_high", step.bits.bitsHigh);
        PutBits(table, "bits_low", step.bits.bitsLow);
        break;
    case StepType::ReadText:
        Put(table, "equals", step.text.equals);
        Put(table, "prefix", step.text.prefix);
        Put(table, "matches", step.text.matches);
        break;
    case StepType::WritePort:
        table.insert("value", step.value);
        break;
    case StepType::SendText:
        table.insert("text", step.sendText);
        break;
    case StepType::SendClock:
        break;
    case StepType::Send: {
        table.insert("code", step.code);
        toml::table bytes;
        for (const auto& [index, value] : step.bytes)
            bytes.insert(std::to_string(index), value);
        if (!bytes.empty()) table.insert("bytes", std::move(bytes));
        break;
    }
    case StepType::Poll:
        Put(table, "max_missed", step.poll.maxMissed);
        Put(table, "median_ms", step.poll.medianMs);
        Put(table, "p99_ms", step.poll.p99Ms);
        Put(table, "max_ms", step.poll.maxMs);
        [[fallthrough]];
    case StepType::Wait:
        table.insert("duration_ms", step.durationMs);
        break;
    }
    return table;
}

} // namespace

std::string PlanToToml(const Plan& plan) {
    toml::array steps;
    for (const Step& step : plan.steps)
        steps.push_back(StepTable(step));
    toml::table root;
    root.insert("name", plan.name);
    root.insert("step", std::move(steps));
    std::ostringstream text;
    text << toml::toml_formatter(root);
    return text.str() + "\n";
}

} // namespace testsupport
