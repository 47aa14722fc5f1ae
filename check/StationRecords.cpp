#include "check/StationRecords.h"

#include "check/RecordTarget.h"

#include <QFile>

namespace check {
namespace {

constexpr qsizetype LongestSerialWord = 64;

bool Fits(QChar c) {
    return c.unicode() < 128 && (c.isLetterOrNumber() || c == '-' || c == '_');
}

/// The most names tried for one board's records before the folder counts as unusable.
constexpr int MostNames = 10000;

} // namespace

QString SerialFileWord(const QString& serial) {
    QString word = serial.left(LongestSerialWord);
    for (QChar& c : word)
        if (!Fits(c)) c = '_';
    return word.isEmpty() ? QStringLiteral("no-serial") : word;
}

QString WriteStationRecords(const QDir& dir, const QString& serial, const QDateTime& started,
                            const QByteArray& json, const QByteArray& junit, QString& error) {
    const QString base = dir.filePath(SerialFileWord(serial) + "-" +
                                      started.toUTC().toString("yyyyMMdd'T'hhmmss'Z'"));
    for (int n = 1; n <= MostNames; ++n) {
        const QString name = n == 1 ? base : base + "-" + QString::number(n);
        const NewFile first = WriteNewFile(name + ".json", json, error);
        if (first == NewFile::Taken) continue;
        if (first == NewFile::Failed) return {};
        const NewFile second = WriteNewFile(name + ".xml", junit, error);
        if (second == NewFile::Written) return name;
        QFile::remove(name + ".json"); // this pair's other half; both go under the next name
        if (second == NewFile::Failed) return {};
    }
    error = "no free name for the records after " + QString::number(MostNames) + " tries";
    return {};
}

} // namespace check
