#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

namespace records {

class Connection;

/// A query's answer: its columns and rows, each value as the database gave it (a null QVariant
/// for NULL), figures already worked out.
struct Table {
    QStringList columns;
    std::vector<QVariantList> rows;
};

/// Yield by plan, station and day. Each board (vendor, product, serial) counts once per plan,
/// on the station and UTC day of its first run of that plan; its first pass is that run
/// passing, its final pass its last run of the plan passing (wherever that was). Runs that
/// judged no board (no board, aborted) are left out. Columns: plan, station, day, boards,
/// first_pass, final_pass, first_pass_yield and final_yield (percent), runs.
std::optional<Table> YieldTable(Connection& connection, QString& error);

/// The failing figures ranked, most failures first: plan, step, name, quantity, limit,
/// failures, and broken_values: each value that broke the limit, with how
/// often ("128 ×3, 12 ×1"), most often first. A failed step that measured nothing counts under
/// its failure's text.
std::optional<Table> FailureTable(Connection& connection, QString& error);

/// Every run of the board of serial number `serial`, oldest first: started, ended, station,
/// operator, plan, outcome, failed_steps, reason, run_uuid.
std::optional<Table> BoardTable(Connection& connection, const QString& serial, QString& error);

/// Process capability of each measured number, by plan, step, quantity, unit and limits: n,
/// mean, stddev (the sample's, n - 1), min and max limits, and cpk = min(USL - mean,
/// mean - LSL) / (3 stddev), on the one side a single limit gives; none without a limit or
/// spread.
std::optional<Table> CapabilityTable(Connection& connection, QString& error);

/// Every step result with its run's columns, one row each, in the runs' order.
std::optional<Table> ExportTable(Connection& connection, QString& error);

} // namespace records
