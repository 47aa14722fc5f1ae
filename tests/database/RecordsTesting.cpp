#include "RecordsTesting.h"

#include <QFile>
#include <QSqlQuery>
#include <QUuid>
#include <gtest/gtest.h>

namespace records_testing {

check::CheckRecord MadeRun(const std::string& serial, const std::string& plan,
                           const std::string& station, const QDateTime& started,
                           const std::vector<Figure>& figures) {
    check::CheckRecord record;
    record.planName = plan;
    record.provenance = {"zov-usb-test", "1.0.0", "host", plan, "ab12", station, "Ingrid"};
    record.board.vendorId = 0x1234;
    record.board.productId = 0x0001;
    record.board.serialNumber = serial;
    record.board.product = "ZOV-USB";
    record.started = started;
    record.ended = started.addSecs(5);
    std::size_t number = 0;
    for (const Figure& figure : figures) {
        check::StepResult step;
        step.number = ++number;
        step.type = check::StepType::ReadAd;
        step.name = "read_ad";
        check::Measurement measured;
        measured.quantity = figure.quantity;
        measured.value = std::to_string(figure.value);
        measured.number = figure.value;
        measured.limits.min = figure.min;
        measured.limits.max = figure.max;
        measured.limit = std::to_string(int(figure.min)) + ".." + std::to_string(int(figure.max));
        measured.passed = figure.value >= figure.min && figure.value <= figure.max;
        if (!measured.passed) step.failure = measured.failure();
        step.measurements.push_back(measured);
        step.sent.push_back({0x81, {0x00, 0x81}});
        record.steps.push_back(step);
    }
    record.planSteps = figures.size();
    return record;
}

QString ServerUrl(const QString& state) {
    QFile file(state + "/url");
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

std::unique_ptr<records::Connection> Open(const records::DatabaseUrl& url) {
    QString error;
    auto connection = records::Connection::open(url, error);
    EXPECT_TRUE(connection) << error.toStdString();
    return connection;
}

records::DatabaseUrl FreshDatabase(const QString& kind, const QTemporaryDir& dir,
                                   const QString& serverUrl) {
    QString error;
    if (kind == "sqlite")
        return *records::ParseDatabaseUrl("sqlite:" + dir.filePath("records.db"), error);
    auto server = records::ParseDatabaseUrl(serverUrl, error);
    const QString name = "test_" + QUuid::createUuid().toString(QUuid::Id128).left(16).toLower();
    {
        auto connection = Open(*server);
        QString problem;
        EXPECT_TRUE(connection && connection->run("CREATE DATABASE " + name, problem))
            << problem.toStdString();
    }
    server->database = name;
    server->text.replace("/zov_records", "/" + name);
    return *server;
}

qint64 Number(records::Connection& connection, const QString& sql) {
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(sql) && query.next()) << sql.toStdString();
    return query.value(0).toLongLong();
}

} // namespace records_testing
