#pragma once

#include "records/DatabaseUrl.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <memory>

namespace records {

/// An open connection to the records' database, for the thread that opened it alone (Qt's SQL
/// connections belong to their thread). Closed and forgotten when it goes.
/// The database's reason for `error` on one line (libpq's come on several).
QString ErrorText(const QSqlError& error);

class Connection {
public:
    enum class Access { Write, Read };
    /// Opens the database `url` names (to write, an SQLite file is made when missing); nothing,
    /// with `error` set, when it cannot be reached. Waits at most ConnectSeconds for a server.
    /// An SQLite file opened to read in a folder this user cannot write, with no writer's log
    /// beside it (its "-wal" file), is read as it stands on disk: such a file holds every run,
    /// and SQLite could not make the shared-memory file it otherwise needs.
    static std::unique_ptr<Connection> open(const DatabaseUrl& url, QString& error,
                                            Access access = Access::Write);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QSqlDatabase& database() { return database_; }
    bool postgresql() const { return postgresql_; }

    /// Runs `statement`; false, with `error` set to the database's reason, when it failed.
    bool run(const QString& statement, QString& error);
    /// Begins a transaction that holds the database against other writers from its start
    /// (SQLite: BEGIN IMMEDIATE), so that two writers queue rather than fail.
    bool begin(QString& error);
    bool commit(QString& error) { return run("COMMIT", error); }
    void rollback();

    static constexpr int ConnectSeconds = 5;

private:
    Connection(QString name, bool postgresql);

    QString name_;
    bool postgresql_;
    QSqlDatabase database_;
};

} // namespace records
