#include "records/TableOutput.h"

#include "hid/TerminalText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

namespace records {
namespace {

bool IsNumber(const QVariant& value) {
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong ||
           value.typeId() == QMetaType::Int;
}

/// A number with `digits` significant digits; QLocale::FloatingPointShortest: the fewest that
/// read back as the same number (33.3, not 33.299999999999997).
QString Cell(const QVariant& value, int digits) {
    if (value.isNull()) return {};
    if (value.typeId() == QMetaType::Double) return QString::number(value.toDouble(), 'g', digits);
    return value.toString();
}

/// A field of CSV: quoted when it holds a quote, comma or line break; a text a spreadsheet
/// would take for a formula (=, +, -, @, tab or carriage return first) gets a ' before it, so
/// that opening the export never runs what a serial number or a plan's name says.
QString CsvField(QString field, bool number) {
    static const QRegularExpression formula("^[=+\\-@\t\r]");
    if (!number && field.contains(formula)) field.prepend('\'');
    if (!field.contains(QRegularExpression("[\",\r\n]"))) return field;
    return "\"" + field.replace("\"", "\"\"") + "\"";
}

} // namespace

QByteArray TableText(const Table& table) {
    std::vector<QStringList> lines{table.columns};
    std::vector<bool> numeric(table.columns.size(), true);
    for (const QVariantList& row : table.rows) {
        QStringList line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            line << QString::fromStdString(hid::TerminalText(Cell(row[i], 6).toStdString()));
            if (!row[i].isNull() && !IsNumber(row[i])) numeric[i] = false;
        }
        lines.push_back(line);
    }
    std::vector<qsizetype> widths(table.columns.size(), 0);
    for (const QStringList& line : lines)
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    QString text;
    for (const QStringList& line : lines) {
        QStringList cells;
        for (qsizetype i = 0; i < line.size(); ++i)
            cells << (numeric[i] ? line[i].rightJustified(widths[i])
                                 : line[i].leftJustified(i + 1 < line.size() ? widths[i] : 0));
        text += cells.join("  ") + "\n";
    }
    return text.toUtf8();
}

QByteArray TableCsv(const Table& table) {
    QString text;
    QStringList header;
    for (const QString& column : table.columns)
        header << CsvField(column, false);
    text += header.join(",") + "\r\n";
    for (const QVariantList& row : table.rows) {
        QStringList cells;
        for (const QVariant& value : row)
            cells << CsvField(Cell(value, QLocale::FloatingPointShortest), IsNumber(value));
        text += cells.join(",") + "\r\n";
    }
    return text.toUtf8();
}

QByteArray TableJson(const Table& table) {
    QJsonArray rows;
    for (const QVariantList& row : table.rows) {
        QJsonObject object;
        for (qsizetype i = 0; i < row.size(); ++i)
            object[table.columns[i]] = QJsonValue::fromVariant(row[i]);
        rows.append(object);
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Indented);
}

} // namespace records
