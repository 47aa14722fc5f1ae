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

/// The board's identity, its port when it has one, and the label the operator scanned
/// (`label`, when one was).
QJsonObject Board(const hid::DeviceInfo& board, const std::string& label) {
    QJsonObject object{
        {"node", Text(board.path)},
        {"vendor_id", board.vendorId},
        {"product_id", board.productId},
        {"manufacturer", hid::fromWindows1252(board.manufacturer)},
        {"product", hid::fromWindows1252(board.product)},
        {"serial", hid::fromWindows1252(board.serialNumber)},
        {"report_format", QJsonObject{{"uses_report_ids", board.format.usesReportIds},
                                      {"input_report_size", board.format.inputReportSize},
                                      {"output_report_size", board.format.outputReportSize}}}};
    if (!board.port.empty()) object["port"] = Text(board.port);
    if (!label.empty()) object["label"] = Text(label);
    return object;
}

/// `json` with DEL and the C1 controls (U+0080 to U+009F), which QJsonDocument writes as they
/// are, escaped as \u00XX: a record may go straight to a terminal, where they would move the
/// cursor or start an escape sequence. In UTF-8 a C1 control is 0xC2 and a byte 0x80 to 0x9F.
QByteArray TerminalSafe(const QByteArray& json) {
    QByteArray safe;
    safe.reserve(json.size());
    for (qsizetype i = 0; i < json.size(); ++i) {
        const auto byte = static_cast<unsigned char>(json[i]);
        const bool c1 = byte == 0xC2 && i + 1 < json.size() &&
                        (static_cast<unsigned char>(json[i + 1]) & 0xE0) == 0x80;
        if (byte == 0x7F || c1)
            safe +=
                "\\u00" + QByteArray::number(c1 ? static_cast<unsigned char>(json[++i]) : byte, 16);
        else
            safe += json[i];
    }
    return safe;
}

/// A text or null.
QJsonValue Optional(const std::optional<std::string>& text) {
    return text ? QJsonValue(Text(*text)) : QJsonValue(QJsonValue::Null);
}

/// The limits given, each under its own name; numbers in the figure's unit.
QJsonObject Limits(const FigureLimits& limits) {
    QJsonObject object;
    const auto put = [&object](const char* name, const auto& limit) {
        if (limit) object[name] = double(*limit);
    };
    put("min", limits.min);
    put("max", limits.max);
    put("equals", limits.equals);
    if (limits.bits.mask && limits.bits.value) {
        put("mask", limits.bits.mask);
        put("value", limits.bits.value);
    }
    for (const auto& [name, bits] :
         {std::pair{"bits_high", &limits.bits.bitsHigh}, {"bits_low", &limits.bits.bitsLow}}) {
        if (bits->empty()) continue;
        QJsonArray array;
        for (const std::int64_t bit : *bits)
            array.append(qint64(bit));
        object[name] = array;
    }
    const TextLimits& text = limits.text;
    for (const auto& [name, limit] :
         {std::pair{"equals", &text.equals}, {"prefix", &text.prefix}, {"matches", &text.matches}})
        if (*limit) object[name] = Text(**limit);
    return object;
}

QJsonObject Figure(const Measurement& figure) {
    // The value as what it is: a number, a text, or null for none (an answer that never came).
    const QJsonValue value = figure.number ? QJsonValue(*figure.number) : Optional(figure.text);
    return {{"quantity", Text(figure.quantity)}, {"value", value},
            {"unit", Text(figure.unit)},         {"limit", Text(figure.limit)},
            {"limits", Limits(figure.limits)},   {"passed", figure.passed}};
}

QJsonArray Numbers(const std::vector<std::uint8_t>& bytes) {
    QJsonArray array;
    for (const std::uint8_t byte : bytes)
        array.append(byte);
    return array;
}

QJsonArray Sent(const std::vector<SentReport>& reports) {
    QJsonArray array;
    for (const SentReport& report : reports)
        array.append(QJsonObject{{"code", report.code}, {"bytes", Numbers(report.bytes)}});
    return array;
}

QJsonObject StepObject(const StepResult& step) {
    QJsonArray figures;
    for (const Measurement& figure : step.measurements)
        figures.append(Figure(figure));
    QJsonObject object{
        {"step", qint64(step.number)}, {"repetition", qint64(step.repetition)},
        {"try", qint64(step.attempt)}, {"type", Text(std::string(TypeName(step.type)))},
        {"name", Text(step.name)},     {"outcome", step.outcome()},
        {"seconds", step.seconds},     {"measurements", figures},
        {"sent", Sent(step.sent)}};
    if (!step.failure.empty()) object["failure"] = Text(step.failure);
    if (step.retried) object["retried"] = true;
    if (step.teardown) object["teardown"] = true;
    if (step.skipped) object["reason"] = Text(step.skipReason);
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
    const Provenance& made = record.provenance;
    QJsonObject root{{"schema_version", RecordSchemaVersion},
                     {"producer", QJsonObject{{"program", Text(made.program)},
                                              {"version", Text(made.version)},
                                              {"host", Text(made.host)},
                                              {"station_id", Optional(made.stationId)},
                                              {"operator", Optional(made.operatorName)}}},
                     {"plan", QJsonObject{{"name", Text(record.planName)},
                                          {"file", Text(made.planFile)},
                                          {"sha256", Text(made.planSha256)}}},
                     {"board", record.noBoard.empty()
                                   ? QJsonValue(Board(record.board, record.label))
                                   : QJsonValue()},
                     {"started", record.started.toString(Qt::ISODateWithMs)},
                     {"ended", record.ended.toString(Qt::ISODateWithMs)},
                     {"outcome", record.outcome()},
                     {"board_left", record.boardLeft},
                     {"writes_in_flight", qint64(record.writesInFlight)},
                     {"steps", steps},
                     {"reports", reports}};
    if (const std::string reason = record.reason(); !reason.empty()) root["reason"] = Text(reason);
    return TerminalSafe(QJsonDocument(root).toJson());
}

} // namespace check
