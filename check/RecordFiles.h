#pragma once

#include "check/CheckRecord.h"
#include "check/RecordTarget.h"

#include <QByteArray>
#include <QStringList>
#include <optional>

/// The records of a run, and where they are written (check/RecordTarget.h: whole or not at
/// all, never over anything but a regular file).
namespace check {

/// JUnit XML: one test case per step run, its figures and limits as properties, a failure
/// naming the value and the limit it broke; texts shown as the console shows them. Nothing
/// when the XML writer failed.
std::optional<QByteArray> JunitText(const CheckRecord& record);
/// JSON (docs/check-record.schema.json): what made it (program, version, host, plan file and its
/// SHA-256, station and operator), the board's identity, the start and end times (ISO 8601 UTC),
/// every step's figures with units, limits and outcome and the reports it sent, and the report
/// counts.
QByteArray JsonText(const CheckRecord& record);

/// Why a record that JunitText could not make is not written.
constexpr const char NotMade[] = "it holds text the XML writer could not write";

/// Writes the JSON and the JUnit record to their targets (null: not asked for); answers a
/// message for each that could not be written.
QStringList WriteRecords(const CheckRecord& record, RecordTarget* json, RecordTarget* junit);

} // namespace check
