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

/// The limits of a read step, as its keys.
void PutLimits(toml::table& table, const Step& step) {
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
    default:
        break;
    }
}

/// The keys every operator step takes.
void PutOperator(toml::table& table, const Step& step) {
    table.insert("text", step.operatorText);
    Put(table, "timeout_ms", step.timeoutMs);
}

toml::table StepTable(const Step& step) {
    toml::table table;
    table.insert("type", std::string(TypeName(step.type)));
    if (!step.name.empty()) table.insert("name", step.name);
    if (step.repeat != 1) table.insert("repeat", step.repeat);
    if (step.retry != 0) table.insert("retry", step.retry);
    Put(table, "stop_on_fail", step.stopOnFail);
    Put(table, "answer_within_ms", step.answerWithinMs);
    if (step.until) {
        table.insert("until", true);
        table.insert("within_ms", step.withinMs);
    }
    PutLimits(table, step);
    switch (step.type) {
    case StepType::ReadAd:
    case StepType::ReadInputs:
    case StepType::ReadText:
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
        Put(table, "expect_code", step.expectCode);
        toml::table answer;
        for (const Step& read : step.answer) {
            toml::table limits;
            PutLimits(limits, read);
            answer.insert(read.type == StepType::ReadAd       ? "ad"
                          : read.type == StepType::ReadInputs ? "inputs"
                                                              : "text",
                          std::move(limits));
        }
        if (!answer.empty()) table.insert("answer", std::move(answer));
        break;
    }
    case StepType::Prompt:
        PutOperator(table, step);
        break;
    case StepType::Ask:
        PutOperator(table, step);
        table.insert("expect", step.expect);
        break;
    case StepType::Scan:
        PutOperator(table, step);
        Put(table, "pattern", step.pattern);
        if (step.equalsSerial) table.insert("equals_serial", true);
        break;
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
    const auto tables = [](const std::vector<Step>& steps) {
        toml::array array;
        for (const Step& step : steps)
            array.push_back(StepTable(step));
        return array;
    };
    toml::table root;
    root.insert("name", plan.name);
    if (plan.stopOnFail) root.insert("stop_on_fail", true);
    root.insert("step", tables(plan.steps));
    if (!plan.teardown.empty()) root.insert("teardown", tables(plan.teardown));
    std::ostringstream text;
    text << toml::toml_formatter(root);
    return text.str() + "\n";
}

} // namespace testsupport
