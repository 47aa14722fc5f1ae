#include "check/RecordFiles.h"
#include "hid/CodePage1252.h"
#include "hid/TerminalText.h"

#include <QXmlStreamWriter>
#include <algorithm>

namespace check {
namespace {

/// A text (UTF-8) as the console shows it: control characters as \xNN, which XML 1.0 cannot
/// carry, so the operator and the record read the same.
QString Shown(const std::string& text) {
    return QString::fromStdString(hid::TerminalText(text));
}

/// A string the board gave, in its code page.
QString BoardShown(const std::string& bytes) {
    return Shown(hid::fromWindows1252(bytes).toStdString());
}

void Property(QXmlStreamWriter& xml, const QString& name, const QString& value) {
    xml.writeStartElement("property");
    xml.writeAttribute("name", name);
    xml.writeAttribute("value", value);
    xml.writeEndElement();
}

void Problem(QXmlStreamWriter& xml, const char* element, const QString& message,
             const QString& type) {
    xml.writeStartElement(element);
    xml.writeAttribute("message", message);
    xml.writeAttribute("type", type);
    xml.writeEndElement();
}

void TestCase(QXmlStreamWriter& xml, const CheckRecord& record, const StepResult& step) {
    // Teardown steps are a class of their own, as CI servers group test cases by class.
    xml.writeStartElement("testcase");
    xml.writeAttribute("classname", Shown(record.planName + (step.teardown ? ".teardown" : "")));
    xml.writeAttribute("name", Shown(step.title()));
    xml.writeAttribute("time", QString::number(step.seconds, 'f', 6));
    if (!step.measurements.empty()) {
        xml.writeStartElement("properties");
        for (const Measurement& figure : step.measurements) {
            Property(xml, Shown(figure.quantity), Shown(figure.shown()));
            if (!figure.limit.empty())
                Property(xml, Shown(figure.quantity + " limit"), Shown(figure.limit));
        }
        xml.writeEndElement();
    }
    if (step.skipped || step.retried) {
        // A try that was tried again decides nothing: not a failure a CI server would count.
        xml.writeStartElement("skipped");
        xml.writeAttribute("message", Shown(step.skipped ? step.skipReason
                                                         : "tried again after: " + step.failure));
        xml.writeEndElement();
    } else if (!step.passed()) {
        // A step that could not decide is an error, as JUnit has it, not a failure.
        Problem(xml, step.error ? "error" : "failure", Shown(step.failure), "check");
    }
    xml.writeEndElement();
}

/// An error of the run, not of a step: a test case of its own, since readers find errors and
/// failures in test cases only. The board leaving (it may leave between steps), or no board.
void RunError(QXmlStreamWriter& xml, const CheckRecord& record, const char* name,
              const QString& message, const char* type) {
    xml.writeStartElement("testcase");
    xml.writeAttribute("classname", Shown(record.planName));
    xml.writeAttribute("name", name);
    xml.writeAttribute("time", QString::number(0.0, 'f', 6));
    Problem(xml, "error", message, type);
    xml.writeEndElement();
}

/// The counts of a suite, which readers take from its attributes and the elements alike.
void Counts(QXmlStreamWriter& xml, const CheckRecord& record) {
    const auto count = [&record](auto&& counted) {
        return std::count_if(record.steps.begin(), record.steps.end(), counted);
    };
    const int runErrors = (record.boardLeft ? 1 : 0) + (record.noBoard.empty() ? 0 : 1);
    xml.writeAttribute("tests", QString::number(record.steps.size() + runErrors));
    xml.writeAttribute("failures", QString::number(record.failedSteps()));
    xml.writeAttribute("errors", QString::number(count([](const StepResult& step) {
                                                     return step.error && !step.skipped &&
                                                            step.decides();
                                                 }) +
                                                 runErrors));
    // Written even when none is skipped: a reader missing a count makes all of them up anew.
    xml.writeAttribute("skipped", QString::number(count([](const StepResult& step) {
                           return step.skipped || step.retried;
                       })));
    xml.writeAttribute(
        "time", QString::number(double(record.started.msecsTo(record.ended)) / 1000, 'f', 3));
}

} // namespace

std::optional<QByteArray> JunitText(const CheckRecord& record) {
    QByteArray contents;
    QXmlStreamWriter xml(&contents);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement("testsuites");
    xml.writeAttribute("name", Shown(record.planName));
    Counts(xml, record);
    xml.writeStartElement("testsuite");
    xml.writeAttribute("name", Shown(record.planName));
    Counts(xml, record);
    // UTC without a zone: the form of the JUnit schema CI servers read (see the README).
    xml.writeAttribute("timestamp", record.started.toUTC().toString("yyyy-MM-dd'T'hh:mm:ss"));
    xml.writeStartElement("properties");
    if (record.noBoard.empty()) {
        Property(xml, "board serial", BoardShown(record.board.serialNumber));
        Property(xml, "board node", Shown(record.board.path));
        if (!record.board.port.empty()) Property(xml, "board port", Shown(record.board.port));
        if (!record.label.empty()) Property(xml, "board label", Shown(record.label));
    }
    const Provenance& made = record.provenance;
    Property(xml, "plan file", Shown(made.planFile));
    Property(xml, "plan sha256", Shown(made.planSha256));
    Property(xml, "program", Shown(made.program));
    Property(xml, "program version", Shown(made.version));
    Property(xml, "host", Shown(made.host));
    // Named only when given: an empty property reads as no value in some readers.
    if (made.stationId) Property(xml, "station id", Shown(*made.stationId));
    if (made.operatorName) Property(xml, "operator", Shown(*made.operatorName));
    Property(xml, "record schema version", QString::number(RecordSchemaVersion));
    xml.writeEndElement();
    for (const StepResult& step : record.steps)
        TestCase(xml, record, step);
    if (!record.noBoard.empty()) RunError(xml, record, "board", Shown(record.noBoard), "no board");
    if (record.boardLeft)
        RunError(xml, record, "board connection", "the board left during the run", "board left");
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    // The writer leaves out what XML cannot carry and goes on: such a record is not written.
    if (xml.hasError()) return std::nullopt;
    return contents;
}

} // namespace check
