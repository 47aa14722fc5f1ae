#pragma once

// Shared by the records tests: runs made from known figures, and databases of their own on the
// SQLite file or the PostgreSQL server the test fixture started.
#include "check/CheckRecord.h"
#include "records/Connection.h"
#include "records/DatabaseUrl.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace records_testing {

/// A figure a step measured against the limit min..max.
struct Figure {
    std::string quantity;
    double value;
    double min;
    double max;
};

/// A finished run of `plan` on the board `serial`, started at `started` (UTC), one step per
/// figure; it passes when every figure is within its limit.
check::CheckRecord MadeRun(const std::string& serial, const std::string& plan,
                           const std::string& station, const QDateTime& started,
                           const std::vector<Figure>& figures);

/// The URL of the throwaway server's database in the fixture's state folder `state` (its
/// `url` file); empty when the fixture did not run.
QString ServerUrl(const QString& state);

/// A database for one test alone: a new SQLite file in `dir`, or a new database on the
/// server of `serverUrl` (dropped when the test ends is not needed: the server goes).
records::DatabaseUrl FreshDatabase(const QString& kind, const QTemporaryDir& dir,
                                   const QString& serverUrl);

/// Opens `url`, failing the test when it cannot.
std::unique_ptr<records::Connection> Open(const records::DatabaseUrl& url);

/// The single number `sql` answers (COUNT(*) and the like).
qint64 Number(records::Connection& connection, const QString& sql);

} // namespace records_testing
