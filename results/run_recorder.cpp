#include "results/run_recorder.h"

#include "autotest/table_file.h"
#include "replies/identification.h"
#include "results/results_database.h"
#include "results/results_store.h"
#include "tav_version.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <unistd.h>

namespace {

// A limit or value that is a plain number; a text such as "no reply" or a reply kept whole
// ("Show" 2) has none.
std::optional<double> NumberOf(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace

RunRecorder::RunRecorder(ResultsStore& store) : m_store(store) {}

QString RunRecorder::TimeText(qint64 msSinceEpoch)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

RunRecorder::TableHashes RunRecorder::HashTable(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    auto hex = [](QByteArrayView data) {
        return QString::fromLatin1(
            QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
    };
    return {hex(bytes), hex(TestFileStepBytes(bytes))};
}

void RunRecorder::RunBegins(const RunBeginning& begin)
{
    if (m_open)
        RunEnds(RunEnding::Aborted, QStringLiteral("a new run was started"));
    m_clock.start();
    m_order = 0;
    m_failed = false;
    m_open = true;
    RunRecord r;
    r.Uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.Station = m_store.Station();
    r.Operator = ResultsDatabase::OperatorName();
    r.ProgramVersion = QStringLiteral(TAV_VERSION_TEXT);
    if (!begin.TablePath.isEmpty()) {
        const QFileInfo info(begin.TablePath);
        r.TablePath = QDir::toNativeSeparators(info.absoluteFilePath());
        r.TableName = info.fileName();
        const TableHashes hashes = HashTable(begin.TablePath);
        r.TableSha256 = hashes.File;
        r.TableVersion = hashes.Version;
    }
    r.Reporter = begin.Header.ReporterText;
    r.Unit = begin.Header.UnitText;
    r.Serial = begin.Header.SerialText;
    r.Link = begin.Link;
    r.Instrument = begin.Instrument;
    // The fields as the main window cuts them, for any identification (the test window's too).
    if (begin.Instrument.contains(QLatin1Char(','))) {
        const IdentificationReading id = ReadIdentification(begin.Instrument);
        r.InstrumentMaker = id.Manufacturer;
        r.InstrumentModel = id.Model;
        r.InstrumentSerial = id.SerialNumber;
        r.InstrumentFirmware = id.Revision;
    }
    const TestedWith& t = begin.Tested;
    r.InstrumentOptions = t.Options;
    r.Devices = t.Devices.join(QStringLiteral("; "));
    r.LimitsName = t.Limits;
    r.LimitsVersion = t.LimitsVersion;
    r.LimitsModel = t.Model;
    r.Calibration = t.Calibration;
    r.Slot = begin.Slot;
    r.RackRun = begin.RackRun;
    r.StartedMs = QDateTime::currentMSecsSinceEpoch();
    r.StartedText = TimeText(r.StartedMs);
    r.Pid = ::getpid();
    m_run = r;
    m_store.BeginRun(m_run);
}

void RunRecorder::StepRecorded(const QStringList& cells, bool shown, const QString& command)
{
    if (!m_open)
        return;
    RowRecord row = RowOf(cells, shown, command);
    row.Order = ++m_order;
    row.ElapsedMs = m_clock.elapsed();
    m_failed = m_failed || !row.Mark.isEmpty();
    m_store.AddStep(m_run.Uuid, row);
}

RowRecord RunRecorder::RowOf(const QStringList& cells, bool shown, const QString& command)
{
    RowRecord row;
    row.Step = cells.value(0).trimmed();
    row.Comment = cells.value(1);
    row.LowerText = cells.value(2);
    row.Lower = NumberOf(row.LowerText);
    row.ValueText = cells.value(3);
    row.Value = NumberOf(row.ValueText);
    row.UpperText = cells.value(4);
    row.Upper = NumberOf(row.UpperText);
    row.Mark = cells.value(5);
    row.Command = command;
    row.Shown = shown;
    return row;
}

void RunRecorder::RunEnds(RunEnding ending, const QString& reason)
{
    if (!m_open)
        return;
    m_open = false;
    m_run.DurationMs = m_clock.elapsed();
    m_run.EndedMs = m_run.StartedMs + m_run.DurationMs;
    m_run.EndedText = TimeText(m_run.EndedMs);
    switch (ending) {
    case RunEnding::Completed:
        m_run.Verdict = m_failed ? QStringLiteral("failed") : QStringLiteral("passed");
        break;
    case RunEnding::Error:
        m_run.Verdict = QStringLiteral("error");
        break;
    case RunEnding::Aborted:
        m_run.Verdict = QStringLiteral("aborted");
        break;
    }
    m_run.Reason = reason;
    m_store.EndRun(m_run);
}
