#include "records/RunWriter.h"

#include "records/Connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <vector>

namespace records {
namespace {

QString Insert(const char* table, std::span<const Column> columns, const QString& more) {
    QStringList names, marks;
    for (const Column& column : columns) {
        names << column.name;
        marks << "?";
    }
    return QString("INSERT INTO %1 (%2) VALUES (%3)%4")
        .arg(table, names.join(", "), marks.join(", "), more);
}

void Bind(QSqlQuery& query, const Row& row, std::span<const Column> columns) {
    int index = 0;
    for (const Column& column : columns)
        query.bindValue(index++, row.value(column.name));
}

} // namespace

Written WriteRun(Connection& connection, const StoredRun& run, QString& error) {
    if (!connection.begin(error)) return Written::Failed;
    const auto fail = [&](const QSqlQuery& query) {
        error = ErrorText(query.lastError());
        connection.rollback();
        return Written::Failed;
    };
    // ON CONFLICT ... DO NOTHING RETURNING: a row back when the run was new, none when its id
    // was taken; SQLite and PostgreSQL read it alike.
    QSqlQuery insertRun(connection.database());
    if (!insertRun.prepare(
            Insert("runs", RunColumns, " ON CONFLICT (run_uuid) DO NOTHING RETURNING id")))
        return fail(insertRun);
    Bind(insertRun, run.run, RunColumns);
    if (!insertRun.exec()) return fail(insertRun);
    if (!insertRun.next()) {
        connection.rollback();
        return Written::AlreadyStored;
    }
    const qint64 runId = insertRun.value(0).toLongLong();
    insertRun.finish();

    std::vector<Column> stepColumns{{"run_id", ColumnType::Integer}};
    stepColumns.insert(stepColumns.end(), StepColumns.begin(), StepColumns.end());
    QSqlQuery insertStep(connection.database());
    if (!insertStep.prepare(Insert("step_results", stepColumns, {}))) return fail(insertStep);
    for (Row step : run.steps) {
        step["run_id"] = runId;
        Bind(insertStep, step, stepColumns);
        if (!insertStep.exec()) return fail(insertStep);
    }
    return connection.commit(error) ? Written::Stored : (connection.rollback(), Written::Failed);
}

} // namespace records
