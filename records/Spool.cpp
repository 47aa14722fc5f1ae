#include "records/Spool.h"

#include "check/RecordTarget.h"
#include "records/DatabaseUrl.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>

namespace records {
namespace {

/// The time in milliseconds, later than every stamp this process gave before: runs spooled in
/// one millisecond keep their order.
qint64 SpoolStamp() {
    static std::atomic<qint64> last{0};
    qint64 given = last.load();
    qint64 stamp;
    do
        stamp = std::max(QDateTime::currentMSecsSinceEpoch(), given + 1);
    while (!last.compare_exchange_weak(given, stamp));
    return stamp;
}

} // namespace

std::optional<QString> Spool::add(const StoredRun& run, QString& error) {
    if (!QDir().mkpath(folder_)) {
        error = "cannot make the folder " + folder_;
        return std::nullopt;
    }
    const QByteArray contents = QJsonDocument(RunJson(run)).toJson(QJsonDocument::Compact);
    // The time, zero-padded to sort as text; the run's id keeps runs of other processes
    // spooled in one millisecond apart.
    const QString name = folder_ + "/" + QString::number(SpoolStamp()).rightJustified(15, '0') +
                         "-" + run.uuid() + ".json";
    switch (check::WriteNewFile(name, contents, error)) {
    case check::NewFile::Written:
        return name;
    case check::NewFile::Taken:
        error = name + " is there already";
        return std::nullopt;
    case check::NewFile::Failed:
        return std::nullopt;
    }
    return std::nullopt;
}

QStringList Spool::waiting() const {
    QStringList files;
    for (const QString& name :
         QDir(folder_).entryList({"*.json"}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        if (!name.startsWith('.')) files << folder_ + "/" + name;
    return files;
}

std::optional<StoredRun> Spool::read(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    if (!document.isObject()) {
        error = "not a run: " + parse.errorString();
        return std::nullopt;
    }
    auto run = RunFromJson(document.object(), error);
    if (!run) error = "not a run: " + error;
    return run;
}

QString SpoolFolder(const QString& url, const QString& beside) {
    QString base = beside;
    if (base.isEmpty()) {
        const QString state = qEnvironmentVariable("XDG_STATE_HOME");
        base =
            (state.startsWith('/') ? state : QDir::homePath() + "/.local/state") + "/zov-usb-test";
    }
    // An SQLite file by its absolute path: a relative one names another file from another
    // folder, whose runs must not be delivered here.
    QString error;
    const auto parsed = ParseDatabaseUrl(url, error);
    const QString key = parsed && parsed->kind == DatabaseUrl::Kind::Sqlite
                            ? "sqlite:" + QFileInfo(parsed->path).absoluteFilePath()
                            : url;
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256);
    return base + "/records-spool/" + QString::fromLatin1(hash.toHex().left(12));
}

} // namespace records
