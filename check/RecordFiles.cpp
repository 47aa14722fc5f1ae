#include "check/RecordFiles.h"

#include <QSaveFile>

namespace check {

bool SaveWhole(const QString& path, const QByteArray& contents, QString& error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.commit())
        return true;
    error = file.errorString();
    return false;
}

QStringList WriteRecords(const CheckRecord& record, const QString& jsonPath,
                         const QString& junitPath) {
    QStringList problems;
    QString error;
    if (!jsonPath.isEmpty() && !WriteJson(record, jsonPath, error))
        problems << QString("cannot write the JSON record %1: %2").arg(jsonPath, error);
    if (!junitPath.isEmpty() && !WriteJunit(record, junitPath, error))
        problems << QString("cannot write the JUnit record %1: %2").arg(junitPath, error);
    return problems;
}

} // namespace check
