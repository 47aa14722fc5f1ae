#include "check/RecordFiles.h"
#include "hid/CodePage1252.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace check {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QJsonObject Board(const hid::DeviceInfo& board) {
    return {{"node", Text(board.path)},
            {"vendor_id", board.vendorId},
            {"product_id", board.productId},
            {"manufacturer", hid::fromWindows1252(board.manufacturer)},
            {"product", hid::fromWindows1252(board.product)},
            {"serial", hid::fromWindows1252(board.serialNumber)},
            {"report_format", QJsonObject{{"uses_report_ids", board.format.usesReportIds},
                                          {"input_report_size", board.format.inputReportSize},
                                          {"output_report_size", board.format.outputReportSize}}}};
}

QJsonObject Figure(const Measurement& figure) {
    QJsonObject object{{"quantity", Text(figure.quantity)},
                       {"unit", Text(figure.unit)},
                       {"limit", Text(figure.limit)},
                       {"passed", figure.passed}};
    object["value"] = figure.number ? QJsonValue(*figure.number) : QJsonValue(Text(figure.value));
    return object;
}

QJsonObject StepObject(const StepResult& step) {
    QJsonArray figures;
    for (const Measurement& figure : step.measurements)
        figures.append(Figure(figure));
    QJsonObject object{{"step", qint64(step.number)},
                       {"repetition", qint64(step.repetition)},
                       {"type", Text(std::string(TypeName(step.type)))},
                       {"name", Text(step.name)},
                       {"outcome", step.outcome()},
                       {"seconds", step.seconds},
                       {"measurements", figures}};
    if (!step.failure.empty()) object["failure"] = Text(step.failure);
    return object;
}

} // namespace

QByteArray JsonText(const CheckRecord& record) {
    QJsonArray steps;
    for (const StepResult& step : record.steps)
        steps.append(StepObject(step));
    QJsonObject reports;
    for (const hid::ReportDirectionNames& each : hid::ReportDirections)
        reports[each.countWord] = qint64(record.counts[hid::directionIndex(each.direction)]);
    QJsonObject root{
        {"plan", QJsonObject{{"name", Text(record.planName)}, {"file", Text(record.planFile)}}},
        {"board", record.noBoard.empty() ? QJsonValue(Board(record.board)) : QJsonValue()},
        {"started", record.started.toString(Qt::ISODateWithMs)},
        {"ended", record.ended.toString(Qt::ISODateWithMs)},
        {"outcome", record.outcome()},
        {"board_left", record.boardLeft},
        {"writes_in_flight", qint64(record.writesInFlight)},
        {"steps", steps},
        {"reports", reports}};
    if (const std::string reason = record.reason(); !reason.empty()) root["reason"] = Text(reason);
    return QJsonDocument(root).toJson();
}

} // namespace check
