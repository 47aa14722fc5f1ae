#include "check/ConsoleReport.h"

#include "hid/CodePage1252.h"

#include <cstdio>

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

std::string Figure(const Measurement& measurement) {
    std::string text = measurement.quantity + " " + measurement.value;
    if (!measurement.unit.empty()) text += " " + measurement.unit;
    if (!measurement.limit.empty()) text += " [" + measurement.limit + "]";
    return text;
}

} // namespace

std::string BoardLine(const hid::DeviceInfo& board) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", board.vendorId, board.productId);
    return hid::fromWindows1252(board.product).toStdString() + ", serial " +
           hid::fromWindows1252(board.serialNumber).toStdString() + ", " + board.path + " (" + ids +
           ")";
}

std::string StepLine(const StepResult& step) {
    char title[40];
    std::snprintf(title, sizeof title, "%-24s", step.title().c_str());
    std::string line = title;
    for (const Measurement& measurement : step.measurements)
        line += "  " + Figure(measurement);
    line += step.passed() ? "  PASS" : "  FAIL: " + step.failure;
    return line;
}

std::string Summary(const CheckRecord& record) {
    const std::size_t failed = record.failedSteps();
    std::string text = "Plan \"" + record.planName + "\" on " + BoardLine(record.board) + ": " +
                       std::to_string(record.steps.size() - failed) + " steps passed, " +
                       std::to_string(failed) + " failed";
    if (record.boardLeft) text += "; the board left during the run";
    text += "\nReports: ";
    for (const hid::ReportDirectionNames& each : hid::ReportDirections) {
        if (&each != &hid::ReportDirections[0]) text += ", ";
        text += std::to_string(record.counts[hid::directionIndex(each.direction)]) + " " +
                each.countWord;
    }
    text += "\n";
    text += record.passed() ? "PASS\n" : "FAIL\n";
    return text;
}

std::string Banner(const CheckRecord& record, bool recordsWritten) {
    std::string text = "\n";
    for (const char* row : record.passed() && recordsWritten ? PassLetters : FailLetters)
        text += std::string("    ") + row + "\n";
    text += "\n";
    for (const StepResult& step : record.steps)
        if (!step.passed()) text += "    failed: " + step.title() + ": " + step.failure + "\n";
    if (record.boardLeft) text += "    the board left during the run\n";
    if (!recordsWritten) text += "    its records could not be written\n";
    return text;
}

std::string TallyLine(std::size_t passed, std::size_t failed) {
    return "Boards checked: " + std::to_string(passed + failed) + ", " + std::to_string(passed) +
           " passed, " + std::to_string(failed) + " failed\n";
}

} // namespace check
