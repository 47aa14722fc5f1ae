#pragma once

#include <QDateTime>
#include <QDir>
#include <QString>

/// Where station mode writes the records of each board it checks.
namespace check {

/// The serial number as a word fit for a file name on any system: ASCII letters, digits, '-'
/// and '_' are kept, anything else becomes '_'; at most 64 characters; "no-serial" for none.
QString SerialFileWord(const QString& serial);

/// DIR/<serial word>-<start, UTC yyyyMMddThhmmssZ>, without the extension; "-2", "-3", ... is
/// added while a JSON or JUnit record of that name is there already.
QString RecordBase(const QDir& dir, const QString& serial, const QDateTime& started);

} // namespace check
