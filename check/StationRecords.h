#pragma once

#include <QDateTime>
#include <QDir>
#include <QString>

/// Where station mode writes the records of each board it checks.
namespace check {

/// The serial number as a word fit for a file name on any system: ASCII letters, digits, '-'
/// and '_' are kept, anything else becomes '_'; at most 64 characters; "no-serial" for none.
QString SerialFileWord(const QString& serial);

/// Writes a board's JSON and JUnit records, `json` and `junit`, to new files
/// DIR/<serial word>-<start, UTC yyyyMMddThhmmssZ>.json and .xml, each claimed atomically:
/// "-2", "-3", ... is added to the name while either is taken, so no record ever replaces
/// another, even of a station sharing the folder. Answers the name without its extension,
/// or an empty one with `error` set (and nothing left behind) when they could not be written.
QString WriteStationRecords(const QDir& dir, const QString& serial, const QDateTime& started,
                            const QByteArray& json, const QByteArray& junit, QString& error);

} // namespace check
