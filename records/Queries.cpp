#include "records/Queries.h"

#include "records/Connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <map>

namespace records {
namespace {

/// The rows of `sql`, with `values` bound in turn.
std::optional<Table> Select(Connection& connection, const QString& sql, QString& error,
                            const QVariantList& values = {}) {
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        error = ErrorText(query.lastError());
        return std::nullopt;
    }
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec()) {
        error = ErrorText(query.lastError());
        return std::nullopt;
    }
    Table table;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        table.columns << record.fieldName(i);
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < record.count(); ++i)
            row << query.value(i);
        table.rows.push_back(std::move(row));
    }
    return table;
}

QVariant Percent(qint64 part, qint64 whole) {
    return whole > 0 ? QVariant(std::round(1000.0 * double(part) / double(whole)) / 10.0)
                     : QVariant();
}

/// A value as the failures list shows it: a number with its unit, a text quoted, or the step's
/// failure where it measured nothing.
QString BrokenValue(const QVariant& number, const QVariant& text, const QVariant& unit,
                    const QVariant& failure) {
    if (!number.isNull())
        return QString::number(number.toDouble(), 'g', 10) +
               (unit.toString().isEmpty() ? QString() : " " + unit.toString());
    if (!text.isNull()) return "\"" + text.toString() + "\"";
    return failure.isNull() ? QString("none") : failure.toString();
}

} // namespace

std::optional<Table> YieldTable(Connection& connection, QString& error) {
    // Window functions and substr() read the same in SQLite (3.25 on) and PostgreSQL; the
    // started time is ISO 8601 UTC text, so its first ten characters are its day.
    const QString sql = R"(
WITH judged AS (
    SELECT id, plan_path, station_id, board_vendor, board_product, board_serial, started,
           outcome,
           ROW_NUMBER() OVER (PARTITION BY plan_path, board_vendor, board_product, board_serial
                              ORDER BY started, id) AS first_rank,
           ROW_NUMBER() OVER (PARTITION BY plan_path, board_vendor, board_product, board_serial
                              ORDER BY started DESC, id DESC) AS last_rank
    FROM runs WHERE outcome IN ('pass', 'fail', 'error')),
boards AS (
    SELECT plan_path,
           MAX(CASE WHEN first_rank = 1 THEN COALESCE(station_id, '') END) AS station,
           MAX(CASE WHEN first_rank = 1 THEN substr(started, 1, 10) END) AS day,
           MAX(CASE WHEN first_rank = 1 AND outcome = 'pass' THEN 1 ELSE 0 END) AS first_pass,
           MAX(CASE WHEN last_rank = 1 AND outcome = 'pass' THEN 1 ELSE 0 END) AS final_pass,
           COUNT(*) AS runs
    FROM judged GROUP BY plan_path, board_vendor, board_product, board_serial)
SELECT plan_path, station, day, COUNT(*), SUM(first_pass), SUM(final_pass), SUM(runs)
FROM boards GROUP BY plan_path, station, day ORDER BY plan_path, day, station)";
    const auto counted = Select(connection, sql, error);
    if (!counted) return std::nullopt;
    Table table{{"plan", "station", "day", "boards", "first_pass", "final_pass", "first_pass_yield",
                 "final_yield", "runs"},
                {}};
    for (const QVariantList& row : counted->rows) {
        const qint64 boards = row[3].toLongLong();
        table.rows.push_back({row[0], row[1], row[2], boards, row[4].toLongLong(),
                              row[5].toLongLong(), Percent(row[4].toLongLong(), boards),
                              Percent(row[5].toLongLong(), boards), row[6].toLongLong()});
    }
    return table;
}

std::optional<Table> FailureTable(Connection& connection, QString& error) {
    // Counted per broken value in SQL; the values are then gathered under their limit here
    // (a list of values is not portable SQL).
    const QString sql = R"(
SELECT r.plan_path, CASE WHEN s.teardown = 1 THEN 'teardown ' || CAST(s.step_index AS TEXT) ELSE CAST(s.step_index AS TEXT) END, s.step_name, s.quantity, s.limit_text,
       s.value_number, s.value_text, s.unit, CASE WHEN s.quantity IS NULL THEN s.failure END,
       COUNT(*)
FROM step_results s JOIN runs r ON r.id = s.run_id
WHERE s.outcome = 'fail' AND (s.within_limits = 0 OR s.quantity IS NULL)
GROUP BY r.plan_path, s.teardown, s.step_index, s.step_name, s.quantity, s.limit_text,
         s.value_number, s.value_text, s.unit, CASE WHEN s.quantity IS NULL THEN s.failure END
ORDER BY COUNT(*) DESC, r.plan_path, s.teardown, s.step_index)";
    const auto counted = Select(connection, sql, error);
    if (!counted) return std::nullopt;
    struct Failing {
        QVariantList key;
        qint64 failures = 0;
        std::vector<std::pair<QString, qint64>> values;
    };
    std::vector<Failing> failing;
    std::map<QString, std::size_t> place;
    for (const QVariantList& row : counted->rows) {
        const QVariantList key{row[0], row[1], row[2], row[3], row[4]};
        const QString name = QStringList{row[0].toString(), row[1].toString(), row[2].toString(),
                                         row[3].toString(), row[4].toString()}
                                 .join(QChar(0));
        const auto [at, added] = place.try_emplace(name, failing.size());
        if (added) failing.push_back({key, 0, {}});
        Failing& entry = failing[at->second];
        entry.failures += row[9].toLongLong();
        entry.values.emplace_back(BrokenValue(row[5], row[6], row[7], row[8]), row[9].toLongLong());
    }
    std::stable_sort(failing.begin(), failing.end(),
                     [](const Failing& a, const Failing& b) { return a.failures > b.failures; });
    Table table{{"plan", "step", "name", "quantity", "limit", "failures", "broken_values"}, {}};
    for (const Failing& entry : failing) {
        QStringList values;
        for (const auto& [value, count] : entry.values)
            values << value + " ×" + QString::number(count);
        QVariantList row = entry.key;
        row << entry.failures << values.join(", ");
        table.rows.push_back(row);
    }
    return table;
}

std::optional<Table> BoardTable(Connection& connection, const QString& serial, QString& error) {
    return Select(connection, R"(
SELECT r.started, r.ended, r.station_id AS station, r.operator, r.plan_path AS plan, r.outcome,
       (SELECT COUNT(DISTINCT s.teardown * 2000000000000 + s.step_index * 1000000 + s.repetition)
        FROM step_results s
        WHERE s.run_id = r.id AND s.outcome = 'fail' AND s.retried = 0) AS failed_steps,
       r.reason, r.run_uuid
FROM runs r WHERE r.board_serial = ? ORDER BY r.started, r.id)",
                  error, {serial});
}

std::optional<Table> CapabilityTable(Connection& connection, QString& error) {
    // SQLite has no standard deviation: the sums are taken in SQL, the figures made here.
    const auto sums = Select(connection, R"(
SELECT r.plan_path, CASE WHEN s.teardown = 1 THEN 'teardown ' || CAST(s.step_index AS TEXT) ELSE CAST(s.step_index AS TEXT) END, s.step_name, s.quantity, COALESCE(s.unit, ''),
       s.limit_min, s.limit_max, COUNT(*), SUM(s.value_number), SUM(s.value_number * s.value_number)
FROM step_results s JOIN runs r ON r.id = s.run_id
WHERE s.value_number IS NOT NULL
GROUP BY r.plan_path, s.teardown, s.step_index, s.step_name, s.quantity, COALESCE(s.unit, ''),
         s.limit_min, s.limit_max
ORDER BY r.plan_path, s.teardown, s.step_index, s.quantity)",
                             error);
    if (!sums) return std::nullopt;
    Table table{{"plan", "step", "name", "quantity", "unit", "n", "mean", "stddev", "min_limit",
                 "max_limit", "cpk"},
                {}};
    for (const QVariantList& row : sums->rows) {
        const double n = row[7].toDouble();
        const double mean = row[8].toDouble() / n;
        // The sample's variance, from the sums; never below 0 for rounding's sake.
        const double variance =
            n > 1 ? std::max(0.0, (row[9].toDouble() - n * mean * mean) / (n - 1)) : 0.0;
        const double deviation = std::sqrt(variance);
        QVariant cpk;
        if (deviation > 0 && (!row[5].isNull() || !row[6].isNull())) {
            double sides = INFINITY;
            if (!row[6].isNull()) sides = std::min(sides, row[6].toDouble() - mean);
            if (!row[5].isNull()) sides = std::min(sides, mean - row[5].toDouble());
            cpk = sides / (3 * deviation);
        }
        table.rows.push_back({row[0], row[1], row[2], row[3], row[4], row[7].toLongLong(), mean,
                              n > 1 ? QVariant(deviation) : QVariant(), row[5], row[6], cpk});
    }
    return table;
}

std::optional<Table> ExportTable(Connection& connection, QString& error) {
    return Select(connection, R"(
SELECT r.run_uuid, r.board_vendor, r.board_product, r.board_serial, r.board_product_name,
       r.scanned_label, r.station_id, r.operator, r.program_version, r.plan_path, r.plan_sha256,
       r.started, r.ended, r.outcome AS run_outcome, r.reason, s.step_index, s.step_name,
       s.step_type, s.repetition, s.try_number, s.retried, s.teardown, s.quantity, s.value_number, s.value_text, s.unit,
       s.limit_text, s.limit_min, s.limit_max, s.limit_equals, s.within_limits,
       s.outcome AS step_outcome, s.failure, s.answer_time_ms, s.sent_bytes
FROM runs r LEFT JOIN step_results s ON s.run_id = r.id ORDER BY r.id, s.id)",
                  error);
}

} // namespace records
