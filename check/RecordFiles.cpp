#include "check/RecordFiles.h"

namespace check {
namespace {

void Write(RecordTarget* target, const std::optional<QByteArray>& contents, const char* what,
           QStringList& problems) {
    QString error = contents ? QString() : NotMade;
    if (target && (!contents || !target->write(*contents, error)))
        problems << QString("cannot write the %1 record %2: %3").arg(what, target->path(), error);
}

} // namespace

QStringList WriteRecords(const CheckRecord& record, RecordTarget* json, RecordTarget* junit) {
    QStringList problems;
    if (json) Write(json, JsonText(record), "JSON", problems);
    if (junit) Write(junit, JunitText(record), "JUnit", problems);
    return problems;
}

} // namespace check
