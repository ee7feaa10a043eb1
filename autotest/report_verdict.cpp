#include "autotest/report_verdict.h"

#include "autotest/result_table.h"

namespace {

QString OutcomeText(const ReportVerdict& v)
{
    switch (v.Ended) {
    case ReportVerdict::Outcome::Passed:
        return QStringLiteral("PASSED");
    case ReportVerdict::Outcome::Failed:
        return QStringLiteral("FAILED");
    case ReportVerdict::Outcome::BrokenOff:
        return QStringLiteral("BROKEN OFF (%1)").arg(v.Why);
    case ReportVerdict::Outcome::NotFinished:
        return QStringLiteral("NOT FINISHED (%1)").arg(v.Why);
    }
    return {};
}

} // namespace

ReportVerdict ReportVerdict::FromRows(const ResultTable& results, const QString& readFrom)
{
    ReportVerdict v;
    v.ReadFrom = readFrom;
    v.Rows = results.RowCount() - 1;
    for (int row = 1; row < results.RowCount(); ++row) {
        const QStringList cells = results.Row(row);
        if (cells[ResultTable::kMark] == QLatin1String(ResultTable::kFailedMark) ||
            cells[ResultTable::kTestResult] == QLatin1String(ResultTable::kNoReplyValue))
            ++v.Failed;
    }
    v.Ended = v.Failed > 0 ? Outcome::Failed : Outcome::Passed;
    return v;
}

QString PromptAnswerText(int variable, const QString& answer)
{
    return QStringLiteral("VAR%1=%2").arg(variable, 2, 10, QLatin1Char('0')).arg(answer);
}

QString ElapsedText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2.%3")
        .arg(s / 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'))
        .arg((ms % 1000) / 100);
}

QString ReportVerdictLine(const ReportVerdict& v)
{
    QStringList parts;
    QString counts =
        QStringLiteral("%1: %2 rows, %3 failed").arg(OutcomeText(v)).arg(v.Rows).arg(v.Failed);
    if (!v.ReadFrom.isEmpty())
        counts += QStringLiteral(" (as its rows show: read from %1)").arg(v.ReadFrom);
    parts << counts;
    if (v.Started.isValid()) {
        QString when =
            QStringLiteral("started ") + v.Started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (v.DurationMs >= 0)
            when += QStringLiteral(", took ") + ElapsedText(v.DurationMs);
        parts << when;
    }
    QStringList who;
    if (!v.Station.isEmpty())
        who << QStringLiteral("station ") + v.Station;
    if (!v.Operator.isEmpty())
        who << QStringLiteral("operator ") + v.Operator;
    if (!who.isEmpty())
        parts << who.join(QStringLiteral(", "));
    if (!v.Answers.isEmpty())
        parts << QStringLiteral("answers ") + v.Answers.join(QLatin1Char(' '));
    return parts.join(QStringLiteral("; "));
}
