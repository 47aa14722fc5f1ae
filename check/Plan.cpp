#include "check/Plan.h"

#include <array>
#include <utility>

namespace check {
namespace {

constexpr std::array<std::pair<StepType, std::string_view>, 12> Names{{
    {StepType::ReadAd, "read_ad"},
    {StepType::ReadInputs, "read_inputs"},
    {StepType::ReadText, "read_text"},
    {StepType::WritePort, "write_port"},
    {StepType::SendText, "send_text"},
    {StepType::SendClock, "send_clock"},
    {StepType::Send, "send"},
    {StepType::Poll, "poll"},
    {StepType::Wait, "wait_ms"},
    {StepType::Prompt, "prompt"},
    {StepType::Ask, "ask"},
    {StepType::Scan, "scan"},
}};

} // namespace

std::string_view TypeName(StepType type) {
    for (const auto& [named, name] : Names)
        if (named == type) return name;
    return {};
}

bool IsOperatorStep(StepType type) {
    return type == StepType::Prompt || type == StepType::Ask || type == StepType::Scan;
}

bool IsReadStep(StepType type) {
    return type == StepType::ReadAd || type == StepType::ReadInputs || type == StepType::ReadText;
}

std::optional<StepType> TypeNamed(std::string_view name) {
    for (const auto& [type, named] : Names)
        if (named == name) return type;
    return std::nullopt;
}

} // namespace check
