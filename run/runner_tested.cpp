// Before the first row: what the unit is tested with. The instrument and the table's further
// devices are asked what they are, the limits of the instrument's model are written into the
// table, and the calibration of each device is looked at. All of it goes into the run's record,
// its reports and its JUnit file.
#include "run/runner.h"

#include "autotest/auxiliary_ports.h"
#include "autotest/interpreter.h"
#include "autotest/program_test_link.h"
#include "replies/identification.h"
#include "results/run_recorder.h"

#include <QDate>

// The limits file, read and matched against the table before anything is sent: a set made
// for another version of the table, or without the model given, is refused here.
bool TestRunner::ReadLimits()
{
    if (m_options.LimitsFile.isEmpty())
        return true;
    QString error;
    m_limits = ReadLimitSet(m_options.LimitsFile, &error);
    if (!m_limits) {
        m_outcome.RunError = error;
        return false;
    }
    const QString version = RunRecorder::HashTable(m_options.TestFile).Version;
    error = LimitSetProblem(*m_limits, version, m_table);
    if (error.isEmpty() && !m_options.Model.isEmpty() && m_limits->ModelIndex(m_options.Model) < 0)
        error =
            QStringLiteral("limits %1 name no model %2 (they name %3)")
                .arg(m_limits->Name, m_options.Model, m_limits->Models.join(QStringLiteral(", ")));
    m_outcome.RunError = error;
    m_tested.Limits = m_limits->Name;
    m_tested.LimitsVersion = m_limits->Version;
    return error.isEmpty();
}

void TestRunner::Identify()
{
    m_identifyLink = std::make_unique<ProgramTestLink>(m_link);
    QList<RunIdentification::Device> devices;
    const bool meter = TableReadsMeter(m_table);
    const int meterPort = meter ? m_identifyLink->MeterPort() : 0;
    // A port that did not open was told of already, and the meter's is asked as the meter.
    for (int port : TableAuxiliaryPorts(m_table))
        if (port != meterPort &&
            UnavailableAuxiliaryPorts(m_link, {m_link.MappedPort(port)}).isEmpty())
            devices.append({port, 0, false});
    for (int address : TableDevices(m_table, true))
        devices.append({0, address, false});
    if (meter)
        devices.append({0, 0, true});
    m_identify = std::make_unique<RunIdentification>(m_link, *m_identifyLink, devices);
    m_identify->Start([this] { QTimer::singleShot(0, this, &TestRunner::Identified); });
}

void TestRunner::Identified()
{
    if (m_finished || !m_identify)
        return;
    m_identifySilent = m_identify->InstrumentSilent();
    m_tested.Identification =
        m_identifySilent ? QStringLiteral("unidentified") : m_identify->Identification();
    m_tested.Options = m_identify->Options();
    m_tested.Devices = m_identify->DeviceTexts();
    m_identify.reset();
    if (m_identifySilent)
        m_console.Warning(QStringLiteral("the instrument did not identify itself (\"*idn?\"): "
                                         "recorded as unidentified"));
    if (!m_instruments)
        m_instruments =
            m_options.Instruments
                ? m_options.Instruments
                : std::make_shared<InstrumentSource>(m_options.DbUri, m_options.DbTimeoutMs);
    m_instruments->WhenLoaded(this, [this] {
        if (m_finished)
            return;
        QString refusal = ApplyModelLimits();
        if (refusal.isEmpty())
            refusal = CheckCalibration();
        if (!refusal.isEmpty()) {
            Finish(refusal);
            return;
        }
        m_results.SetObserver(nullptr);
        m_running = true;
        m_session->Run().Start();
        // An identification answer still on its way is not taken for a row's reply.
        if (m_identifySilent && m_link.SerialLink)
            m_test.TestRun.InstrumentResync.IdentificationMayFollow();
    });
}

// The limits of the model given, else of the one the instrument names.
QString TestRunner::ApplyModelLimits()
{
    if (!m_limits)
        return {};
    const QString refused = ::ApplyModelLimits(
        *m_limits, m_options.Model, m_identifySilent ? QString() : m_tested.Identification, m_table,
        m_tested);
    if (refused.isEmpty())
        m_console.Note(
            QStringLiteral("limits %1 for model %2").arg(LimitSetText(*m_limits), m_tested.Model));
    return refused;
}

// Each device that said what it is, against the station's list: past its day a warning (or,
// when calibration is required, a refusal), within two weeks of it a notice.
QString TestRunner::CheckCalibration()
{
    if (!m_instruments->Warning().isEmpty())
        m_console.Warning(m_instruments->Warning());
    const QDate today = QDate::currentDate();
    QStringList texts, problems;
    const auto check = [&](const QString& name, const QString& identification) {
        const CalibrationState state =
            CalibrationOf(m_instruments->Entries(), identification, today);
        const QString said = (name.isEmpty() ? QStringLiteral("instrument") : name) +
                             QStringLiteral(": ") + state.Text;
        const bool listed =
            state.State != CalibrationState::Unlisted && state.State != CalibrationState::Unknown;
        if (listed)
            texts << (name.isEmpty() ? state.Text : said);
        if (state.State == CalibrationState::Past || (m_options.RequireCalibration && !listed)) {
            problems << said;
            if (!listed)
                texts << said;
        } else if (state.State == CalibrationState::DueSoon) {
            m_console.Note(said);
        }
    };
    check(QString(), m_identifySilent ? QString() : m_tested.Identification);
    for (const QString& device : m_tested.Devices) {
        const qsizetype colon = device.indexOf(QStringLiteral(": "));
        const QString answer = device.mid(colon + 2);
        const bool silent = answer == QLatin1String("no answer");
        if (!silent || m_options.RequireCalibration)
            check(device.left(colon), silent ? QString() : answer);
    }
    m_tested.Calibration = texts.join(QStringLiteral("; "));
    if (problems.isEmpty())
        return {};
    if (m_options.RequireCalibration)
        return QStringLiteral("not in calibration (--require-calibration): %1")
            .arg(problems.join(QStringLiteral("; ")));
    for (const QString& problem : problems) {
        m_console.Warning(problem);
        m_notes << QStringLiteral("WARNING: ") + problem;
    }
    return {};
}
