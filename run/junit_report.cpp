#include "run/junit_report.h"

#include "common/text_file.h"

#include <QHash>
#include <QXmlStreamWriter>

namespace {

QString Cell(const QStringList& step, int column) { return step.value(column); }

QString CaseName(const QStringList& step)
{
    const QString nr = Cell(step, ResultTable::kStep).trimmed();
    const QString comment = Cell(step, ResultTable::kComment).trimmed();
    return comment.isEmpty() ? QStringLiteral("step %1").arg(nr)
                             : QStringLiteral("step %1 %2").arg(nr, comment);
}

QString FailureText(const QStringList& step)
{
    return QStringLiteral("value %1 outside the limits %2 ... %3")
        .arg(Cell(step, ResultTable::kTestResult), Cell(step, ResultTable::kLowerLimit),
             Cell(step, ResultTable::kUpperLimit));
}

bool Failed(const QStringList& step)
{
    return Cell(step, ResultTable::kMark) == QLatin1String(ResultTable::kFailedMark);
}

void WriteSuite(QXmlStreamWriter& w, const JUnitRun& run, const ResultTable& steps)
{
    int failures = 0;
    for (int row = 1; row < steps.RowCount(); ++row)
        failures += Failed(steps.Row(row));
    const int cases = steps.RowCount() - 1 + (run.RunError.isEmpty() ? 0 : 1);
    const QString className =
        run.ClassName.isEmpty() ? QStringLiteral("%1.%2").arg(run.SuiteName, run.Copies.SerialText)
                                : run.ClassName;

    w.writeStartElement(QStringLiteral("testsuite"));
    w.writeAttribute(QStringLiteral("name"), run.SuiteName);
    w.writeAttribute(QStringLiteral("tests"), QString::number(cases));
    w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    w.writeAttribute(QStringLiteral("errors"), QString::number(run.RunError.isEmpty() ? 0 : 1));
    w.writeAttribute(QStringLiteral("time"), QString::number(run.Seconds, 'f', 3));
    w.writeStartElement(QStringLiteral("properties"));
    QList<std::pair<QString, QString>> properties{
        {QStringLiteral("reporter"), run.Copies.ReporterText},
        {QStringLiteral("unit"), run.Copies.UnitText},
        {QStringLiteral("serial"), run.Copies.SerialText}};
    properties << run.Tested.Properties();
    for (const auto& [name, value] : properties) {
        w.writeStartElement(QStringLiteral("property"));
        w.writeAttribute(QStringLiteral("name"), name);
        w.writeAttribute(QStringLiteral("value"), value);
        w.writeEndElement();
    }
    w.writeEndElement();
    // A row a loop runs again is a case of its own: "step 4 I", "step 4 I (2)", ...
    QHash<QString, int> seen;
    for (int row = 1; row < steps.RowCount(); ++row) {
        const QStringList step = steps.Row(row);
        QString name = CaseName(step);
        if (const int n = ++seen[name]; n > 1)
            name += QStringLiteral(" (%1)").arg(n);
        w.writeStartElement(QStringLiteral("testcase"));
        w.writeAttribute(QStringLiteral("classname"), className);
        w.writeAttribute(QStringLiteral("name"), name);
        if (Failed(step)) {
            w.writeStartElement(QStringLiteral("failure"));
            w.writeAttribute(QStringLiteral("message"), FailureText(step));
            w.writeAttribute(QStringLiteral("type"), QStringLiteral("limits"));
            w.writeCharacters(step.join(QLatin1Char(';')));
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
    if (!run.Notes.isEmpty())
        w.writeTextElement(QStringLiteral("system-out"), run.Notes.join(QLatin1Char('\n')));
    w.writeEndElement();
}

} // namespace

QByteArray JUnitReportXml(const JUnitRun& run, const ResultTable& steps)
{
    return JUnitSuitesXml({{run, &steps}});
}

QByteArray JUnitSuitesXml(const QList<JUnitSuite>& suites)
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("testsuites"));
    for (const JUnitSuite& suite : suites)
        WriteSuite(w, suite.Run, *suite.Steps);
    w.writeEndDocument();
    return xml;
}

bool WriteJUnitReport(const QString& path, const JUnitRun& run, const ResultTable& steps,
                      QString* error)
{
    return WriteFileAtomically(path, JUnitReportXml(run, steps), error);
}
