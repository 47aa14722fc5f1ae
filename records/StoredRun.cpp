#include "records/StoredRun.h"

#include "check/CheckRecord.h"
#include "hid/CodePage1252.h"

#include <QJsonArray>
#include <QUuid>

namespace records {
namespace {

constexpr Column RunColumnList[] = {
    {"run_uuid", ColumnType::Text},
    {"board_vendor", ColumnType::Integer},
    {"board_product", ColumnType::Integer},
    {"board_serial", ColumnType::Text},
    {"board_product_name", ColumnType::Text},
    {"scanned_label", ColumnType::Text},
    {"station_id", ColumnType::Text},
    {"operator", ColumnType::Text},
    {"program_version", ColumnType::Text},
    {"plan_path", ColumnType::Text},
    {"plan_sha256", ColumnType::Text},
    {"started", ColumnType::Text},
    {"ended", ColumnType::Text},
    {"outcome", ColumnType::Text},
    {"reason", ColumnType::Text},
};

constexpr Column StepColumnList[] = {
    {"step_index", ColumnType::Integer},  {"step_name", ColumnType::Text},
    {"step_type", ColumnType::Text},      {"repetition", ColumnType::Integer},
    {"try_number", ColumnType::Integer},  {"retried", ColumnType::Integer},
    {"teardown", ColumnType::Integer},    {"quantity", ColumnType::Text},
    {"value_number", ColumnType::Real},   {"value_text", ColumnType::Text},
    {"unit", ColumnType::Text},           {"limit_text", ColumnType::Text},
    {"limit_min", ColumnType::Real},      {"limit_max", ColumnType::Real},
    {"limit_equals", ColumnType::Real},   {"within_limits", ColumnType::Integer},
    {"outcome", ColumnType::Text},        {"failure", ColumnType::Text},
    {"answer_time_ms", ColumnType::Real}, {"sent_bytes", ColumnType::Text},
};

/// `text` for a text column: a zero character, which PostgreSQL's text cannot hold (the run
/// would be refused), as the console shows it, \x00.
QVariant Text(QString text) {
    return text.replace(QChar(0), QLatin1String("\\x00"));
}
QVariant Text(const std::string& text) {
    return Text(QString::fromStdString(text));
}
QVariant TextOrNull(const std::string& text) {
    return text.empty() ? QVariant() : Text(text);
}
QVariant TextOrNull(const std::optional<std::string>& text) {
    return text ? Text(*text) : QVariant();
}
QVariant NumberOrNull(const std::optional<double>& number) {
    return number ? QVariant(*number) : QVariant();
}
QVariant Time(const QDateTime& time) {
    return time.isValid() ? QVariant(time.toUTC().toString(Qt::ISODateWithMs)) : QVariant();
}

/// Every report the step sent, each as hex bytes: "00 81 02 | 00 82".
QString SentBytes(const check::StepResult& step) {
    QStringList reports;
    for (const check::SentReport& report : step.sent)
        reports << QByteArray(reinterpret_cast<const char*>(report.bytes.data()),
                              qsizetype(report.bytes.size()))
                       .toHex(' ');
    return reports.join(" | ");
}

std::optional<double> AnswerTimeMs(const check::StepResult& step) {
    for (const check::Measurement& figure : step.measurements)
        if (figure.quantity == "answer time") return figure.number;
    return std::nullopt;
}

Row StepRow(const check::StepResult& step, const check::Measurement* figure) {
    Row row{{"step_index", qint64(step.number)},
            {"step_name", Text(step.name)},
            {"step_type", QString::fromUtf8(check::TypeName(step.type))},
            {"repetition", qint64(step.repetition)},
            {"try_number", qint64(step.attempt)},
            {"retried", qint64(step.retried ? 1 : 0)},
            {"teardown", qint64(step.teardown ? 1 : 0)},
            {"outcome", QString(step.outcome())},
            {"failure", TextOrNull(step.failure)},
            {"answer_time_ms", NumberOrNull(AnswerTimeMs(step))},
            {"sent_bytes", SentBytes(step)}};
    if (!figure) return row;
    row["quantity"] = Text(figure->quantity);
    row["value_number"] = NumberOrNull(figure->number);
    row["value_text"] = TextOrNull(figure->text);
    row["unit"] = TextOrNull(figure->unit);
    row["limit_text"] = TextOrNull(figure->limit);
    row["limit_min"] = NumberOrNull(figure->limits.min);
    row["limit_max"] = NumberOrNull(figure->limits.max);
    row["limit_equals"] = NumberOrNull(figure->limits.equals);
    row["within_limits"] = qint64(figure->passed ? 1 : 0);
    return row;
}

/// `value` as a value of `type`; nothing when it cannot be one.
std::optional<QVariant> Typed(const QJsonValue& value, ColumnType type) {
    if (value.isNull() || value.isUndefined()) return QVariant();
    switch (type) {
    case ColumnType::Integer:
        if (!value.isDouble() || value.toDouble() != double(value.toInteger())) break;
        return QVariant(value.toInteger());
    case ColumnType::Real:
        if (!value.isDouble()) break;
        return QVariant(value.toDouble());
    case ColumnType::Text:
        if (!value.isString()) break;
        return QVariant(value.toString());
    }
    return std::nullopt;
}

QJsonObject RowJson(const Row& row, std::span<const Column> columns) {
    QJsonObject json;
    for (const Column& column : columns)
        json[column.name] = QJsonValue::fromVariant(row.value(column.name));
    return json;
}

std::optional<Row> RowFromJson(const QJsonObject& json, std::span<const Column> columns,
                               QString& error) {
    Row row;
    for (const Column& column : columns) {
        const auto value = Typed(json.value(column.name), column.type);
        if (!value) {
            error = QString("its %1 is not of the column's type").arg(column.name);
            return std::nullopt;
        }
        row[column.name] = *value;
    }
    return row;
}

} // namespace

const std::span<const Column> RunColumns = RunColumnList;
const std::span<const Column> StepColumns = StepColumnList;

StoredRun StoredRunOf(const check::CheckRecord& record, const QString& uuid) {
    const bool board = record.noBoard.empty();
    const check::Provenance& made = record.provenance;
    StoredRun stored;
    stored.run = Row{
        {"run_uuid", uuid},
        {"board_vendor", board ? QVariant(qint64(record.board.vendorId)) : QVariant()},
        {"board_product", board ? QVariant(qint64(record.board.productId)) : QVariant()},
        {"board_serial",
         board ? Text(hid::fromWindows1252(record.board.serialNumber)) : QVariant()},
        {"board_product_name",
         board ? Text(hid::fromWindows1252(record.board.product)) : QVariant()},
        {"scanned_label", TextOrNull(record.label)},
        {"station_id", TextOrNull(made.stationId)},
        {"operator", TextOrNull(made.operatorName)},
        {"program_version", Text(made.version)},
        {"plan_path", Text(made.planFile)},
        {"plan_sha256", Text(made.planSha256)},
        {"started", Time(record.started)},
        {"ended", Time(record.ended)},
        {"outcome", QString(record.outcome())},
        {"reason", TextOrNull(record.reason())},
    };
    for (const check::StepResult& step : record.steps) {
        if (step.measurements.empty()) stored.steps.push_back(StepRow(step, nullptr));
        for (const check::Measurement& figure : step.measurements)
            stored.steps.push_back(StepRow(step, &figure));
    }
    return stored;
}

QString NewRunId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QJsonObject RunJson(const StoredRun& run) {
    QJsonObject json = RowJson(run.run, RunColumns);
    QJsonArray steps;
    for (const Row& step : run.steps)
        steps.append(RowJson(step, StepColumns));
    json["steps"] = steps;
    return json;
}

std::optional<StoredRun> RunFromJson(const QJsonObject& json, QString& error) {
    auto run = RowFromJson(json, RunColumns, error);
    if (!run) return std::nullopt;
    if (run->value("run_uuid").toString().isEmpty()) {
        error = "it has no run_uuid";
        return std::nullopt;
    }
    StoredRun stored{*run, {}};
    for (const QJsonValue& step : json.value("steps").toArray()) {
        auto row = RowFromJson(step.toObject(), StepColumns, error);
        if (!row) return std::nullopt;
        stored.steps.push_back(*row);
    }
    return stored;
}

} // namespace records
