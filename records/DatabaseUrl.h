#pragma once

#include <QString>
#include <optional>

namespace records {

/// Where the run records are kept, as `--records URL` names it:
/// - `sqlite:PATH`, or a plain PATH: an SQLite file on this machine (made when missing);
/// - `postgresql://USER@HOST[:PORT]/DATABASE`: a PostgreSQL server shared by a line. HOST may
///   be a folder holding the server's socket, percent-encoded (`%2Frun%2Fpostgresql`); a
///   password comes from PGPASSWORD or ~/.pgpass, as for every libpq client.
struct DatabaseUrl {
    enum class Kind { Sqlite, Postgresql };
    Kind kind = Kind::Sqlite;
    QString path; ///< the SQLite file
    QString user;
    QString host;
    int port = 5432;
    QString database;
    QString text; ///< as given

    /// The form shown to the operator (the URL as given; never a password, which it cannot hold).
    const QString& shown() const { return text; }
};

/// Reads `url`; answers nothing, with `error` saying why, when it names no database.
std::optional<DatabaseUrl> ParseDatabaseUrl(const QString& url, QString& error);

} // namespace records
