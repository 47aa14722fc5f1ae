#pragma once

#include "records/Queries.h"

#include <QImage>
#include <QString>

namespace records {

/// Draws the yield per day (first pass and final, in percent, over every plan and station) and
/// the failing figures ranked (the ten most frequent) with QPainter on an image: no display is
/// needed, only a QGuiApplication (the offscreen platform does), and any thread may draw.
/// Takes YieldTable's and FailureTable's tables.
QImage PlotImage(const Table& yield, const Table& failures);

/// PlotImage into a PNG file at `path`. False, with `error` set, when the file could not be
/// written.
bool DrawPlot(const Table& yield, const Table& failures, const QString& path, QString& error);

} // namespace records
