#include "check/RecordFiles.h"

#include <QXmlStreamWriter>
#include <algorithm>

namespace check {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

void Property(QXmlStreamWriter& xml, const QString& name, const QString& value) {
    xml.writeStartElement("property");
    xml.writeAttribute("name", name);
    xml.writeAttribute("value", value);
    xml.writeEndElement();
}

void TestCase(QXmlStreamWriter& xml, const CheckRecord& record, const StepResult& step) {
    xml.writeStartElement("testcase");
    xml.writeAttribute("classname", Text(record.planName));
    xml.writeAttribute("name", Text(step.title()));
    xml.writeAttribute("time", QString::number(step.seconds, 'f', 6));
    if (!step.measurements.empty()) {
        xml.writeStartElement("properties");
        for (const Measurement& figure : step.measurements) {
            const QString name = Text(figure.quantity);
            Property(xml, name,
                     Text(figure.value + (figure.unit.empty() ? "" : " " + figure.unit)));
            if (!figure.limit.empty()) Property(xml, name + " limit", Text(figure.limit));
        }
        xml.writeEndElement();
    }
    if (step.skipped) {
        xml.writeStartElement("skipped");
        xml.writeAttribute("message", Text(record.reason()));
        xml.writeEndElement();
    } else if (!step.passed()) {
        // A step that could not decide is an error, as JUnit has it, not a failure.
        xml.writeStartElement(step.error ? "error" : "failure");
        xml.writeAttribute("message", Text(step.failure));
        xml.writeAttribute("type", "check");
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

/// The one test case of a check that found no board: an error saying so.
void NoBoardCase(QXmlStreamWriter& xml, const CheckRecord& record) {
    xml.writeStartElement("testcase");
    xml.writeAttribute("classname", Text(record.planName));
    xml.writeAttribute("name", "board");
    xml.writeAttribute("time", "0");
    xml.writeStartElement("error");
    xml.writeAttribute("message", Text(record.noBoard));
    xml.writeAttribute("type", "no board");
    xml.writeEndElement();
    xml.writeEndElement();
}

} // namespace

QByteArray JunitText(const CheckRecord& record) {
    QByteArray contents;
    QXmlStreamWriter xml(&contents);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement("testsuites");
    xml.writeStartElement("testsuite");
    xml.writeAttribute("name", Text(record.planName));
    const bool noBoard = !record.noBoard.empty();
    xml.writeAttribute("tests", QString::number(record.steps.size() + (noBoard ? 1 : 0)));
    xml.writeAttribute("failures", QString::number(record.failedSteps()));
    const auto count = [&record](bool StepResult::*flag) {
        return std::count_if(record.steps.begin(), record.steps.end(),
                             [flag](const StepResult& step) { return step.*flag; });
    };
    xml.writeAttribute("errors", QString::number(count(&StepResult::error) +
                                                 (record.boardLeft || noBoard ? 1 : 0)));
    xml.writeAttribute("skipped", QString::number(count(&StepResult::skipped)));
    xml.writeAttribute("timestamp", record.started.toString(Qt::ISODateWithMs));
    xml.writeAttribute(
        "time", QString::number(double(record.started.msecsTo(record.ended)) / 1000, 'f', 3));
    xml.writeStartElement("properties");
    Property(xml, "board serial", Text(record.board.serialNumber));
    Property(xml, "board node", Text(record.board.path));
    Property(xml, "plan file", Text(record.planFile));
    xml.writeEndElement();
    for (const StepResult& step : record.steps)
        TestCase(xml, record, step);
    if (noBoard) NoBoardCase(xml, record);
    if (record.boardLeft) {
        xml.writeStartElement("system-err");
        xml.writeCharacters("the board left during the run");
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return contents;
}

} // namespace check
