#pragma once

#include "records/Queries.h"

#include <QString>

namespace records {

/// Draws the yield per day (first pass and final, in percent, over every plan and station) and
/// the failing figures ranked (the ten most frequent) into a PNG file at `path`, with QPainter
/// on an image: no display is needed, only a QGuiApplication (the offscreen platform does).
/// Takes YieldTable's and FailureTable's tables. False, with `error` set, when the file could
/// not be written.
bool DrawPlot(const Table& yield, const Table& failures, const QString& path, QString& error);

} // namespace records
