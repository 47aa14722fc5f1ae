#pragma once

#include "check/CheckRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

/// The records of a run, each written whole or not at all (QSaveFile): a crash or a full disk
/// never leaves half a record. Each answers false with `error` set when the file cannot be
/// written.
namespace check {

/// JUnit XML: one test case per step run, its figures and limits as properties, a failure
/// naming the value and the limit it broke.
bool WriteJunit(const CheckRecord& record, const QString& path, QString& error);
/// JSON: the board's identity, the start and end times (ISO 8601 UTC), every step's figures
/// with units, limits and outcome, and the report counts.
bool WriteJson(const CheckRecord& record, const QString& path, QString& error);

/// Writes the JSON and the JUnit record where asked for (an empty path: not asked for);
/// answers a message for each that could not be written.
QStringList WriteRecords(const CheckRecord& record, const QString& jsonPath,
                         const QString& junitPath);

/// Writes `contents` to `path` through QSaveFile.
bool SaveWhole(const QString& path, const QByteArray& contents, QString& error);

} // namespace check
