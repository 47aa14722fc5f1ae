#include "records/Connection.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <atomic>

namespace records {
namespace {

QString UniqueName() {
    static std::atomic<unsigned> next{0};
    return QString("zov-records-%1").arg(next++);
}

/// The URI SQLite reads the file `path` by: as it stands on disk ("immutable") when its folder
/// cannot be written and no writer's log is beside it. A link is followed first: the folder
/// and the log are those of the file itself.
QString ReadingUri(const QString& path) {
    const QFileInfo file(QFileInfo(path).canonicalFilePath());
    const QFileInfo log(file.absoluteFilePath() + "-wal");
    const bool asOnDisk =
        !QFileInfo(file.absolutePath()).isWritable() && (!log.exists() || log.size() == 0);
    return QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) +
           (asOnDisk ? "?immutable=1" : "?mode=ro");
}

} // namespace

QString ErrorText(const QSqlError& error) {
    const QString text = error.text().simplified();
    return text.isEmpty() ? QString("unknown database error") : text;
}

Connection::Connection(QString name, bool postgresql)
    : name_(std::move(name)), postgresql_(postgresql) {}

Connection::~Connection() {
    database_.close();
    database_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

std::unique_ptr<Connection> Connection::open(const DatabaseUrl& url, QString& error,
                                             Access access) {
    const bool postgresql = url.kind == DatabaseUrl::Kind::Postgresql;
    const QString driver = postgresql ? "QPSQL" : "QSQLITE";
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        error = QString("Qt's %1 driver is not installed (Debian: %2)")
                    .arg(driver, postgresql ? "libqt6sql6-psql" : "libqt6sql6-sqlite");
        return nullptr;
    }
    std::unique_ptr<Connection> connection(new Connection(UniqueName(), postgresql));
    QSqlDatabase& database = connection->database_;
    database = QSqlDatabase::addDatabase(driver, connection->name_);
    if (postgresql) {
        database.setHostName(url.host);
        database.setPort(url.port);
        database.setUserName(url.user);
        database.setDatabaseName(url.database);
        database.setConnectOptions(QString("connect_timeout=%1").arg(ConnectSeconds));
    } else {
        // Writers of other processes are waited for rather than refused.
        const QString busy = "QSQLITE_BUSY_TIMEOUT=60000";
        const bool write = access == Access::Write;
        database.setDatabaseName(write ? url.path : ReadingUri(url.path));
        database.setConnectOptions(write ? busy : "QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;" + busy);
    }
    if (!database.open()) {
        error = ErrorText(database.lastError());
        return nullptr;
    }
    // The server's notices ("already exists, skipping") are not the operator's business.
    if (postgresql && !connection->run("SET client_min_messages TO WARNING", error)) return nullptr;
    if (!postgresql && access == Access::Write) {
        // WAL lets the queries read while a station writes; a folder that cannot take its
        // files keeps the default journal.
        QString ignored;
        connection->run("PRAGMA journal_mode=WAL", ignored);
        if (!connection->run("PRAGMA foreign_keys=ON", error)) return nullptr;
    }
    return connection;
}

bool Connection::run(const QString& statement, QString& error) {
    QSqlQuery query(database_);
    if (query.exec(statement)) return true;
    error = ErrorText(query.lastError());
    return false;
}

bool Connection::begin(QString& error) {
    return run(postgresql_ ? "BEGIN" : "BEGIN IMMEDIATE", error);
}

void Connection::rollback() {
    QString ignored;
    run("ROLLBACK", ignored);
}

} // namespace records
