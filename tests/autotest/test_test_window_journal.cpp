// The test window's runs in the station's journal, wired as the program wires it: each run with
// its verdict and every evaluated row, a hidden one too, and a run broken off by closing the
// window kept as aborted.
#include "app/window_start_check.h"
#include "autotest/table_file.h"
#include "results/instrument_list.h"
#include "results/instrument_source.h"
#include "results/results_database.h"
#include "results/results_query.h"
#include "results/results_store.h"
#include "results/run_recorder.h"
#include "results/run_tables.h"
#include "sequence/grid_widget.h"
#include "tests/autotest/small_table.h"
#include "tests/autotest/test_window_fixture.h"
#include "tests/support/qt_wait.h"

#include "widgets/operator_messages.h"

#include <QCryptographicHash>
#include <QDate>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

namespace {

// Set 230 V, output on, a voltage that passes, the same voltage against limits it misses on a row
// that is not shown in the report, output off, END.
void PutJournalTable(StepGrid& grid)
{
    PutRows(grid, {{"00.00.00.100", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "", "1"},
                   {"00.00.00.200", "OUTP,1", "0", "0", "0", "", "", "", "1"},
                   {"00.00.00.500", "MEAS:VOLT?", "0", "0", "0", "225", "235", "UAC", "1"},
                   {"00.00.00.500", "MEAS:VOLT?", "0", "0", "0", "240", "250", "hidden", "0"},
                   {"00.00.00.100", "OUTP,0", "0", "0", "0", "", "", "", "1"},
                   {"00.00.00.000", "END", "0", "0", "0", "", "", "", "1"}});
}

// Step, command, comment, value, mark and whether the row is shown, as the journal keeps them;
// the END row ends the run without a row of its own.
QStringList RowText(const RowRecord& row)
{
    return {row.Step,      row.Command, row.Comment,
            row.ValueText, row.Mark,    row.Shown ? "shown" : "hidden"};
}

const QList<QStringList> kJournalRows = {
    {"1", "SOUR:VOLTAC,230", "", "", "", "shown"},
    {"2", "OUTP,1", "", "", "", "shown"},
    {"3", "MEAS:VOLT?", "UAC", "230.000", "", "shown"},
    {"4", "MEAS:VOLT?", "hidden", "230.000", "Error!", "hidden"},
    {"5", "OUTP,0", "", "", "", "shown"},
};

} // namespace

class TestWindowJournal : public TestWindowTest {
protected:
    TestWindowJournal() : m_oldData(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    }
    ~TestWindowJournal() override { qputenv("XDG_DATA_HOME", m_oldData); }

    // The test window as the program's factory makes it.
    void OpenRecorded(RunRecorder& recorder)
    {
        Open();
        window->SetJournal(&recorder);
        window->SetInstrument([this] { return RecordedIdentification(state.Panel); });
    }

    // The journal's runs, newest first, each with its rows.
    QList<std::pair<RunRecord, QList<RowRecord>>> JournalRuns()
    {
        QList<std::pair<RunRecord, QList<RowRecord>>> runs;
        QString error;
        EXPECT_TRUE(ResultsDatabase::OpenJournal("check", ResultsDatabase::JournalPath(), &error))
            << error.toStdString();
        {
            QSqlDatabase db = QSqlDatabase::database("check");
            for (const RunRecord& run : ResultsQuery::Runs(db, {}))
                runs.append({run, RunTables::ReadSteps(db, run.Uuid)});
        }
        ResultsDatabase::Close("check");
        return runs;
    }

private:
    QTemporaryDir m_data;
    QByteArray m_oldData;
};

// Two runs to their END, the first with the instrument identified, the second after the panel
// let it go; then a third closed while it runs.
TEST_F(TestWindowJournal, RunsAreKeptWithTheirRowsAndAClosedOneAsAborted)
{
    auto sim = StartSimAndWindows({"--load-ohm", "50"});
    ResultsStore store(ResultsDatabase::JournalPath());
    RunRecorder recorder(store);
    Open();
    PutJournalTable(*grid);
    const QString path = CwdFile("journal.tst");
    window->SaveTest(path);
    window.reset();

    const QString identification = "TAV,1600,0505000007,2.11";
    for (const QString& ident : {identification, QString("Disconnected")}) {
        state.Panel.DeviceIdent.Identification = ident;
        OpenRecorded(recorder);
        window->OpenTest(path);
        window->findChild<QLineEdit*>("UnitEdit")->setText("TAV 1600");
        window->findChild<QLineEdit*>("SerialEdit")->setText("0505000121");
        window->findChild<QPushButton*>("Button3")->click();
        ASSERT_TRUE(WaitUntil([&] { return !window->Timer1()->isActive(); }, 30000));
        EXPECT_FALSE(recorder.RunOpen());
        window.reset();
    }

    OpenRecorded(recorder);
    window->OpenTest(path);
    window->findChild<QPushButton*>("Button3")->click();
    // Closed once the instrument got the third run's first line.
    ASSERT_TRUE(WaitUntil(
        [&] {
            int sent = 0;
            for (const auto& l : sim->Received())
                sent += l.line == "SOUR:VOLTAC,230";
            return sent == 3;
        },
        30000));
    window->close();
    EXPECT_FALSE(recorder.RunOpen());
    EXPECT_TRUE(store.Flush().JournalError.isEmpty());

    const auto runs = JournalRuns();
    ASSERT_EQ(runs.size(), 3);
    for (int i : {2, 1}) {
        const RunRecord& run = runs[i].first;
        EXPECT_EQ(run.Verdict, "failed") << i;
        EXPECT_EQ(run.TableName, "journal.tst");
        EXPECT_EQ(run.Unit, "TAV 1600");
        EXPECT_EQ(run.Serial, "0505000121");
        EXPECT_EQ(run.Link, "COM2");
        QList<QStringList> rows;
        for (const RowRecord& row : runs[i].second)
            rows << RowText(row);
        EXPECT_EQ(rows, kJournalRows) << i;
        EXPECT_EQ(runs[i].second.value(0).Order, 1) << i;
    }
    EXPECT_EQ(runs[2].first.Instrument, identification);
    EXPECT_EQ(runs[1].first.Instrument, "");
    EXPECT_NE(runs[2].first.Uuid, runs[1].first.Uuid);
    EXPECT_EQ(runs[0].first.Verdict, "aborted");
    EXPECT_EQ(runs[0].first.Reason, "the test window was closed");
    EXPECT_LT(runs[0].second.size(), kJournalRows.size());
}

// An instrument past its calibration day: the operator is asked before the unit's run begins
// and the record keeps the answer's reason; with calibration required the run is refused.
TEST_F(TestWindowJournal, AnInstrumentPastItsCalibrationIsAskedOfOrRefused)
{
    QTemporaryDir config;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    const QString day = QDate::currentDate().addDays(-2).toString(Qt::ISODate);
    QString error;
    ASSERT_TRUE(InstrumentList::WriteFile(
        InstrumentList::FilePath(),
        {{"TAV", "1600", "0505000007", QDate::fromString(day, Qt::ISODate)}}, &error))
        << error.toStdString();
    auto sim = StartSimAndWindows({});
    ResultsStore store(ResultsDatabase::JournalPath());
    RunRecorder recorder(store);
    std::shared_ptr<InstrumentSource> instruments;
    state.Panel.DeviceIdent.Identification = "TAV,1600,0505000007,2.11";
    QStringList asked, told;
    bool answer = false;
    SetOperatorQuestionHook([&](const QString& text) {
        asked << text;
        return answer;
    });
    SetOperatorMessageHook([&](const QString& text) { told << text; });
    const auto start = [&] {
        OpenRecorded(recorder);
        PutJournalTable(*grid);
        window->SetStartCheck(TestStartCheck(state.Panel, store, instruments));
        window->findChild<QPushButton*>("Button3")->click();
        const bool ran = window->Timer1()->isActive();
        if (ran)
            EXPECT_TRUE(WaitUntil([&] { return !window->Timer1()->isActive(); }, 30000));
        window.reset();
        return ran;
    };
    EXPECT_FALSE(start()) << "the operator said no";
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("calibration ran out on " + day)) << asked[0].toStdString();
    answer = true;
    EXPECT_TRUE(start());
    InstrumentList::SetCalibrationRequired(true);
    EXPECT_FALSE(start()) << "refused without a question";
    EXPECT_EQ(asked.size(), 2);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("is not shown in calibration (calibration ran out on " + day))
        << told[0].toStdString();
    SetOperatorQuestionHook(nullptr);
    SetOperatorMessageHook(nullptr);
    qputenv("XDG_CONFIG_HOME", oldConfig);

    EXPECT_TRUE(store.Flush().JournalError.isEmpty());
    const auto runs = JournalRuns();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].first.Calibration, "calibration ran out on " + day);
    int sent = 0;
    for (const auto& l : sim->Received())
        sent += l.line == "SOUR:VOLTAC,230";
    EXPECT_EQ(sent, 1);
}

// "Test" > "Limits…": the instrument's model's limits fill the table's limit cells before each
// unit's run and judge it; the next run is checked against the table as saved, so it runs too,
// and a table changed since is refused with both versions.
TEST_F(TestWindowJournal, ALimitsFileJudgesTheWindowsRunsByTheInstrumentsModel)
{
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    auto sim = StartSimAndWindows({});
    ResultsStore store(ResultsDatabase::JournalPath());
    RunRecorder recorder(store);
    std::shared_ptr<InstrumentSource> instruments;
    state.Panel.DeviceIdent.Identification = "TAV,1600,0505000007,2.11";
    OpenRecorded(recorder);
    PutJournalTable(*grid);
    const QString version = QString::fromLatin1(
        QCryptographicHash::hash(TestGridStepBytes(*grid), QCryptographicHash::Sha256).toHex());
    QFile limits(CwdFile("window.lim"));
    ASSERT_TRUE(limits.open(QIODevice::WriteOnly));
    limits.write(("version " + version.left(12) +
                  "\nmodels 3200 1600\n3 1 2 229 231\n"
                  "4 1 2 229 231\n")
                     .toLatin1());
    limits.close();
    ChooseLimitsFile(limits.fileName());
    QStringList told;
    SetOperatorMessageHook([&](const QString& text) { told << text; });
    window->SetStartCheck(TestStartCheck(state.Panel, store, instruments));
    for (int run = 0; run < 2; ++run) {
        window->findChild<QPushButton*>("Button3")->click();
        ASSERT_TRUE(window->Timer1()->isActive()) << told.join('\n').toStdString();
        ASSERT_TRUE(WaitUntil([&] { return !window->Timer1()->isActive(); }, 30000));
        EXPECT_EQ(grid->Cell(kTestLowerLimit, 4), "229");
    }
    grid->SetCell(kTestComment, 1, "changed");
    window->findChild<QPushButton*>("Button3")->click();
    EXPECT_FALSE(window->Timer1()->isActive());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("were made for table version " + version.left(12)))
        << told[0].toStdString();
    SetOperatorMessageHook(nullptr);
    ChooseLimitsFile(QString());
    window.reset();

    EXPECT_TRUE(store.Flush().JournalError.isEmpty());
    const auto runs = JournalRuns();
    ASSERT_EQ(runs.size(), 2);
    for (const auto& [run, rows] : runs) {
        EXPECT_EQ(run.Verdict, "passed"); // the hidden row's 230 V is within 229 .. 231 now
        EXPECT_EQ(run.LimitsName, "window.lim");
        EXPECT_EQ(run.LimitsModel, "1600");
        EXPECT_EQ(rows.value(3).UpperText, "231.000");
    }
}
