#include "check/StationRecords.h"

#include <QFileInfo>

namespace check {
namespace {

constexpr qsizetype LongestSerialWord = 64;

bool Fits(QChar c) {
    return c.unicode() < 128 && (c.isLetterOrNumber() || c == '-' || c == '_');
}

bool Taken(const QString& base) {
    return QFileInfo::exists(base + ".json") || QFileInfo::exists(base + ".xml");
}

} // namespace

QString SerialFileWord(const QString& serial) {
    QString word = serial.left(LongestSerialWord);
    for (QChar& c : word)
        if (!Fits(c)) c = '_';
    return word.isEmpty() ? QStringLiteral("no-serial") : word;
}

QString RecordBase(const QDir& dir, const QString& serial, const QDateTime& started) {
    const QString base = dir.filePath(SerialFileWord(serial) + "-" +
                                      started.toUTC().toString("yyyyMMdd'T'hhmmss'Z'"));
    QString free = base;
    for (int n = 2; Taken(free); ++n)
        free = base + "-" + QString::number(n);
    return free;
}

} // namespace check
