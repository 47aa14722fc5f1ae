#include "check/ConsoleReport.h"

#include "hid/CodePage1252.h"
#include "hid/TerminalText.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <map>

namespace check {
namespace {

constexpr const char* PassLetters[] = {
    "####    ##    ####   ####", "#   #  #  #  #      #    ", "####   ####   ###    ### ",
    "#      #  #      #      #", "#      #  #  ####   #### ",
};
constexpr const char* FailLetters[] = {
    "#####   ##   ###  #    ", "#      #  #   #   #    ", "####   ####   #   #    ",
    "#      #  #   #   #    ", "#      #  #  ###  #####",
};
constexpr const char* ErrorLetters[] = {
    "#####  ####   ####    ##   ####",  "#      #   #  #   #  #  #  #   #",
    "####   ####   ####   #  #  #### ", "#      #  #   #  #   #  #  #  # ",
    "#####  #   #  #   #   ##   #   #",
};
constexpr int TitleWidth = 24;
/// The banner lists this many steps that did not pass, and counts the rest, so that the verdict
/// stays on screen however many fail.
constexpr std::size_t BannerListed = 5;

/// "1 step", "3 steps".
std::string Counted(std::size_t count, const char* thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

/// How many characters a UTF-8 text shows: its code points, not its bytes.
std::size_t Width(const std::string& text) {
    return std::size_t(
        std::count_if(text.begin(), text.end(), [](char byte) { return (byte & 0xC0) != 0x80; }));
}

struct Outcomes {
    std::size_t passed = 0;
    std::size_t failed = 0;
    std::size_t undecided = 0;

    void add(const StepResult& step) {
        ++(step.passed() ? passed : step.error ? undecided : failed);
    }
    std::string text() const {
        std::string line =
            std::to_string(passed) + " passed, " + std::to_string(failed) + " failed";
        if (undecided > 0) line += ", " + std::to_string(undecided) + " could not decide";
        return line;
    }
};

/// A run's steps, each counted once by the worst of its runs; skipped ones are "not run", and
/// a try that was tried again counts for nothing.
struct StepOutcomes {
    explicit StepOutcomes(const CheckRecord& record) {
        std::map<std::pair<bool, std::size_t>, Outcomes> byStep;
        for (const StepResult& step : record.steps) {
            if (step.skipped || !step.decides()) continue;
            byStep[{step.teardown, step.number}].add(step);
            runs.add(step);
            ++ran;
        }
        for (const auto& [number, outcome] : byStep)
            ++(outcome.failed > 0      ? steps.failed
               : outcome.undecided > 0 ? steps.undecided
                                       : steps.passed);
        stepsRun = byStep.size();
        notRun = record.planSteps > stepsRun ? record.planSteps - stepsRun : 0;
    }

    Outcomes steps;
    Outcomes runs;
    std::size_t ran = 0;      ///< runs that decide
    std::size_t stepsRun = 0; ///< steps with a run that decides
    std::size_t notRun = 0;   ///< the plan's steps with none
};

std::string Figure(const Measurement& measurement) {
    std::string text = measurement.quantity + " " + measurement.shown();
    if (!measurement.limit.empty()) text += " [" + measurement.limit + "]";
    return text;
}

} // namespace

std::string BoardLine(const hid::DeviceInfo& board) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", board.vendorId, board.productId);
    return hid::TerminalText(hid::fromWindows1252(board.product).toStdString() + ", serial " +
                             hid::fromWindows1252(board.serialNumber).toStdString() + ", " +
                             board.path) +
           " (" + ids + ")";
}

std::string StepLine(const StepResult& step) {
    std::string line = hid::TerminalText(step.title());
    line.append(std::size_t(std::max<std::ptrdiff_t>(0, TitleWidth - std::ptrdiff_t(Width(line)))),
                ' ');
    for (const Measurement& measurement : step.measurements)
        line += "  " + hid::TerminalText(Figure(measurement));
    const std::string failure = hid::TerminalText(step.failure);
    line += step.skipped    ? "  SKIPPED: " + hid::TerminalText(step.skipReason)
            : step.passed() ? "  PASS"
            : step.error    ? "  ERROR: " + failure
                            : "  FAIL: " + failure;
    if (step.retried) line += " (tried again)";
    return line;
}

std::string StepCount(const Plan& plan) {
    std::int64_t runs = 0;
    for (const auto* steps : {&plan.steps, &plan.teardown})
        for (const Step& step : *steps)
            runs += step.repeat;
    const std::size_t steps = plan.steps.size() + plan.teardown.size();
    std::string text = Counted(steps, "step");
    if (!plan.teardown.empty())
        text += ", " + std::to_string(plan.teardown.size()) + " of them teardown";
    if (runs != std::int64_t(steps)) text += ", " + std::to_string(runs) + " runs";
    return text;
}

std::string Summary(const CheckRecord& record) {
    const StepOutcomes outcomes(record);
    std::string text = "Plan \"" + hid::TerminalText(record.planName) + "\" on " +
                       BoardLine(record.board) + ": " + Counted(record.planSteps, "step") + ": " +
                       outcomes.steps.text();
    if (outcomes.notRun > 0) text += ", " + std::to_string(outcomes.notRun) + " not run";
    if (outcomes.ran != outcomes.stepsRun)
        text += " (" + std::to_string(outcomes.ran) + " runs: " + outcomes.runs.text() + ")";
    if (record.boardLeft) text += "; the board left during the run";
    if (!record.interruptedBy.empty()) text += "; " + record.reason();
    if (record.writesInFlight > 0)
        text += "; " + std::to_string(record.writesInFlight) +
                " reports were still being written when the run ended, so the counts cannot "
                "tell what became of them";
    text += "\nReports: ";
    for (const hid::ReportDirectionNames& each : hid::ReportDirections) {
        if (&each != &hid::ReportDirections[0]) text += ", ";
        text += std::to_string(record.counts[hid::directionIndex(each.direction)]) + " " +
                each.countWord;
    }
    text += "\n";
    return text;
}

std::string VerdictWord(int exitCode) {
    return QString::fromLatin1(OutcomeName(exitCode)).toUpper().toStdString();
}

std::vector<std::string> VerdictNotes(const CheckRecord& record) {
    std::vector<std::string> notes;
    std::size_t told = 0;
    for (const StepResult& step : record.steps) {
        if (step.passed() || step.skipped || !step.decides()) continue;
        if (told++ < BannerListed)
            notes.push_back(std::string(step.error ? "could not decide: " : "failed: ") +
                            hid::TerminalText(step.title() + ": " + step.failure));
    }
    if (told > BannerListed)
        notes.push_back("and " + std::to_string(told - BannerListed) + " more");
    if (record.boardLeft) notes.push_back("the board left during the run");
    return notes;
}

std::string Banner(const CheckRecord& record, bool colour) {
    std::string text = "\n";
    for (const std::string& note : VerdictNotes(record))
        text += "    " + note + "\n";
    const StepOutcomes outcomes(record);
    const int exitCode = record.exitCode();
    const auto& letters = exitCode == AllPassed    ? PassLetters
                          : exitCode == StepFailed ? FailLetters
                                                   : ErrorLetters;
    // Green, red or amber (bold yellow), and back to the terminal's own colours.
    const std::string on = !colour                  ? ""
                           : exitCode == AllPassed  ? "\033[1;32m"
                           : exitCode == StepFailed ? "\033[1;31m"
                                                    : "\033[1;33m";
    const std::string off = colour ? "\033[0m" : "";
    text += "\n";
    for (const char* row : letters)
        text += "    " + on + row + off + "\n";
    const std::string serial = hid::fromWindows1252(record.board.serialNumber).toStdString();
    std::string closing = VerdictWord(exitCode) + ": board " +
                          (serial.empty() ? std::string("without a serial number")
                                          : "serial " + hid::TerminalText(serial)) +
                          ", " + std::to_string(outcomes.steps.failed) + " of " +
                          Counted(record.planSteps, "step") + " failed";
    if (outcomes.steps.undecided > 0)
        closing += ", " + std::to_string(outcomes.steps.undecided) + " could not decide";
    if (outcomes.notRun > 0) closing += ", " + std::to_string(outcomes.notRun) + " not run";
    if (record.boardLeft) closing += ", the board left";
    return text + "\n    " + on + closing + off + "\n";
}

bool ColourWanted(bool terminal, const char* noColor) {
    return terminal && (noColor == nullptr || *noColor == '\0');
}

int StationTally::exitCode() const {
    return failed > 0 ? StepFailed : undecided > 0 ? Undecided : AllPassed;
}

std::string TallyLine(const StationTally& tally) {
    std::string line =
        "Boards checked: " + std::to_string(tally.passed + tally.failed + tally.undecided) + ", " +
        std::to_string(tally.passed) + " passed, " + std::to_string(tally.failed) + " failed";
    if (tally.undecided > 0) line += ", " + std::to_string(tally.undecided) + " could not decide";
    return line + "\n";
}

std::string SocketLabel(const std::string& socket) {
    std::string label = "[";
    label += hid::TerminalText(socket);
    label += "] ";
    return label;
}

} // namespace check
