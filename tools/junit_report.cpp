#include "tools/junit_report.h"

#include "common/text_file.h"

#include <QXmlStreamWriter>

namespace {

constexpr auto kFailedMark = "Error!";

QString CaseName(const ResultTable& results, int row)
{
    const QString step = results.Cell(ResultTable::kStep, row).trimmed();
    const QString comment = results.Cell(ResultTable::kComment, row).trimmed();
    return comment.isEmpty() ? QStringLiteral("step %1").arg(step)
                             : QStringLiteral("step %1 %2").arg(step, comment);
}

QString FailureText(const ResultTable& results, int row)
{
    return QStringLiteral("value %1 outside the limits %2 ... %3")
        .arg(results.Cell(ResultTable::kTestResult, row),
             results.Cell(ResultTable::kLowerLimit, row),
             results.Cell(ResultTable::kUpperLimit, row));
}

// The table's last row stays empty until a run records into it.
bool EmptyRow(const ResultTable& results, int row)
{
    return results.Row(row).join(QString()).isEmpty();
}

} // namespace

QByteArray JUnitReportXml(const JUnitRun& run, const ResultTable& results)
{
    int failures = 0;
    int cases = run.RunError.isEmpty() ? 0 : 1;
    for (int row = 1; row < results.RowCount(); ++row) {
        failures += results.Cell(ResultTable::kMark, row) == QLatin1String(kFailedMark);
        cases += !EmptyRow(results, row);
    }
    const QString className = QStringLiteral("%1.%2").arg(run.SuiteName, run.Copies.SerialText);

    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("testsuites"));
    w.writeStartElement(QStringLiteral("testsuite"));
    w.writeAttribute(QStringLiteral("name"), run.SuiteName);
    w.writeAttribute(QStringLiteral("tests"), QString::number(cases));
    w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    w.writeAttribute(QStringLiteral("errors"), QString::number(run.RunError.isEmpty() ? 0 : 1));
    w.writeAttribute(QStringLiteral("time"), QString::number(run.Seconds, 'f', 3));
    w.writeStartElement(QStringLiteral("properties"));
    const std::pair<const char*, QString> properties[] = {
        {"reporter", run.Copies.ReporterText},
        {"unit", run.Copies.UnitText},
        {"serial", run.Copies.SerialText}};
    for (const auto& [name, value] : properties) {
        w.writeStartElement(QStringLiteral("property"));
        w.writeAttribute(QStringLiteral("name"), QString::fromLatin1(name));
        w.writeAttribute(QStringLiteral("value"), value);
        w.writeEndElement();
    }
    w.writeEndElement();
    for (int row = 1; row < results.RowCount(); ++row) {
        if (EmptyRow(results, row))
            continue;
        w.writeStartElement(QStringLiteral("testcase"));
        w.writeAttribute(QStringLiteral("classname"), className);
        w.writeAttribute(QStringLiteral("name"), CaseName(results, row));
        if (results.Cell(ResultTable::kMark, row) == QLatin1String(kFailedMark)) {
            w.writeStartElement(QStringLiteral("failure"));
            w.writeAttribute(QStringLiteral("message"), FailureText(results, row));
            w.writeAttribute(QStringLiteral("type"), QStringLiteral("limits"));
            w.writeCharacters(results.Row(row).join(QLatin1Char(';')));
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    if (!run.RunError.isEmpty()) {
        w.writeStartElement(QStringLiteral("testcase"));
        w.writeAttribute(QStringLiteral("classname"), className);
        w.writeAttribute(QStringLiteral("name"), QStringLiteral("run"));
        w.writeStartElement(QStringLiteral("error"));
        w.writeAttribute(QStringLiteral("message"), run.RunError);
        w.writeEndElement();
        w.writeEndElement();
    }
    w.writeEndDocument();
    return xml;
}

bool WriteJUnitReport(const QString& path, const JUnitRun& run, const ResultTable& results,
                      QString* error)
{
    return WriteFileAtomically(path, JUnitReportXml(run, results), error);
}
