#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariantMap>
#include <optional>
#include <span>
#include <vector>

namespace check {
struct CheckRecord;
}

/// The run records of a line, kept in a database (SQLite or PostgreSQL).
namespace records {

enum class ColumnType { Integer, Real, Text };

/// A column a run or a step result fills, as the current schema has it (records/Schema.h).
struct Column {
    const char* name;
    ColumnType type;
};

/// The columns of `runs` and `step_results` a stored run fills: all but the ids the database
/// gives (and step_results' run_id).
extern const std::span<const Column> RunColumns;
extern const std::span<const Column> StepColumns;

/// One row: column name to value, a null QVariant for NULL.
using Row = QVariantMap;

/// A finished run as the database keeps it: its `runs` row and its `step_results` rows, one
/// per figure a step measured (a step that measured nothing has one row with no quantity).
struct StoredRun {
    Row run;
    std::vector<Row> steps;

    QString uuid() const { return run.value("run_uuid").toString(); }
};

/// The rows of `record`, under the unique id `uuid` that makes a second delivery of it harmless.
StoredRun StoredRunOf(const check::CheckRecord& record, const QString& uuid);

/// A new client-made unique id for a run (a random UUID, without braces).
QString NewRunId();

/// The run as JSON (the spool's files and `records export --json`): the run's columns, and
/// "steps", an array of the step rows' columns.
QJsonObject RunJson(const StoredRun& run);
/// The run of RunJson's `json`, each value of the type its column has; nothing, with `error`
/// set, for one that is not a run (no run_uuid, a value of another type).
std::optional<StoredRun> RunFromJson(const QJsonObject& json, QString& error);

} // namespace records
