#pragma once

#include "records/Queries.h"

#include <QByteArray>

namespace records {

/// The table as plain text for a terminal: a header line, then each row, every column as wide
/// as its widest value, numbers to the right; texts as plain text (control characters shown
/// as \xNN), an empty cell for NULL.
QByteArray TableText(const Table& table);
/// The table as CSV (RFC 4180): a header line, then each row, numbers in full.
QByteArray TableCsv(const Table& table);
/// The table as a JSON array of objects, one per row, keyed by column.
QByteArray TableJson(const Table& table);

} // namespace records
