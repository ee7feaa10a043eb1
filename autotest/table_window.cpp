#include "autotest/table_window.h"

#include "autotest/keyword_table.h"
#include "autotest/prompt_window.h"
#include "autotest/report_print.h"
#include "autotest/result_grid_view.h"
#include "autotest/run_clock.h"
#include "autotest/steady_text.h"
#include "autotest/table_file.h"
#include "export/export_state.h"
#include "panel/direct_send.h"
#include "sequence/grid_widget.h"
#include "widgets/file_dialogs.h"
#include "widgets/modal_window.h"
#include "widgets/operator_messages.h"
#include "widgets/window_timer.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const kFileFilter = "Test Files (*.tst)|*.tst|All Files (*.*)|*.*";

} // namespace

TForm6::TForm6(LinkState& link, const ProgramPlaces& places, AutotestState& test,
               ExportState& exports, QWidget* parent)
    : QDialog(parent), L(link), F(places), T(test), E(exports),
      m_grid(new StepGridWidget(TestTableKind(), kTestRows, m_selection,
                                {.commaToPoint = false,
                                 .wheelAlwaysToTime = false,
                                 .onLeftPress = [this](int row) { Run().RowClicked(row); },
                                 .commitWhileTyping = true},
                                this)),
      m_session(link, places, test, *m_grid, m_results, *this, *this), m_reportFont(ReportFont())
{
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("Test"));
    KeepOpenOnEscape(this);
    m_timer1 = MakeWindowTimer(
        this, QStringLiteral("Timer1"), TestInterpreter::kTickMs, [this] { Timer1Timer(); },
        Qt::PreciseTimer);
    m_clearResult = new QTimer(this);
    m_clearResult->setObjectName(QStringLiteral("ResultClearTimer"));
    m_clearResult->setSingleShot(true);
    m_clearResult->setInterval(TestInterpreter::kTickMs);
    connect(m_clearResult, &QTimer::timeout, this, &TForm6::ShowResultText);
    BuildWindow();
    m_results.SetObserver([this](int row) { m_resultGrid->TableChanged(row); });

    // A port another program took since start-up is skipped; it is told when a table that
    // names it is started, not for ports no row uses.
    m_session.Open();
    E.ExportRowText = QStringLiteral("1");
    E.ExportColumnText = QStringLiteral("1");
    E.WorkbookPath.clear();
    m_date->setText(F.StartDate);
    m_selection = RowRangeSelection();
}

TForm6::~TForm6() = default;

void TForm6::done(int result)
{
    m_timer1->stop();
    if (m_journal)
        m_journal->RunEnds(RunEnding::Aborted, QStringLiteral("the test window was closed"));
    m_session.Close();
    QDialog::done(result);
}

// ---- run control ----

// A new unit's run begins only once the instrument's calibration was looked at.
bool TForm6::StartAllowed(bool newUnit)
{
    if (!m_startCheck || !newUnit)
        return true;
    const std::optional<TestedWith> tested = m_startCheck(this, *m_grid);
    m_tested = tested.value_or(TestedWith());
    return tested.has_value();
}

void TForm6::Button3Click()
{
    if (!StartAllowed(true))
        return;
    TellUnavailablePorts();
    Run().Start();
    ShowRunState();
}

void TForm6::Button15Click()
{
    // From the top a single step begins a new unit.
    if (!StartAllowed(T.TestRun.LastRow == 0))
        return;
    TellUnavailablePorts();
    Run().SingleStep();
    ShowRunState();
}

// Once per port and window: the box is not repeated at every Start of the same table.
void TForm6::TellUnavailablePorts()
{
    QList<int> untold;
    for (int port : TableAuxiliaryPorts(*m_grid))
        if (!m_portsTold.contains(port))
            untold << port;
    m_portsTold << untold;
    const QStringList problems = UnavailableAuxiliaryPorts(L, untold);
    if (!problems.isEmpty())
        QTimer::singleShot(0, this, [this, text = problems.join(QLatin1Char('\n'))] {
            ShowOperatorError(this, text);
        });
}

// Pause and Continue switch the timer, which shows the run's new state.
void TForm6::Button5Click() { Run().Pause(); }
void TForm6::Button6Click() { Run().Continue(); }

void TForm6::Timer1Timer()
{
    m_session.Tick();
    ShowRunState();
}

void TForm6::ShowRunState()
{
    const RunStatus::View view =
        m_runStatus.Describe(Run().State(), m_timer1->isActive(), Run().Cell(kTestCommand));
    if (view == m_runStateShown)
        return;
    const bool restyle = view.tone != m_runStateShown.tone;
    m_runStateShown = view;
    SetSteadyText(m_runState, view.text);
    if (!restyle)
        return;
    static const char* const kColours[] = {"", "color: #1a7f37;", "color: #1f5fbf;",
                                           "color: #b35900;", "color: #c00000;"};
    m_runState->setStyleSheet(QStringLiteral("font-size: 16px; font-weight: bold; ") +
                              QLatin1String(kColours[static_cast<int>(view.tone)]));
}

// Centred on the main window, which the test window was opened from.
QString TForm6::AskValue(const QString& defaultText, const QString& promptText)
{
    const QString answer =
        TForm8::AskValue(defaultText, promptText, parentWidget() ? parentWidget() : this);
    m_runStatus.Answered(PromptedVariable(Run().Cell(kTestCommand)), answer);
    return answer;
}

// ---- file ----

void TForm6::OpenTestClick()
{
    m_grid->setEnabled(false);
    const QString path = AskOpenFileName(this, QString::fromLatin1(kFileFilter));
    if (!path.isEmpty())
        OpenTest(path);
    m_grid->setEnabled(true);
}

void TForm6::SaveTestClick()
{
    const QString path = AskSaveFileName(this, QString::fromLatin1(kFileFilter));
    if (!path.isEmpty())
        SaveTest(path);
}

void TForm6::OpenTest(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    setWindowTitle(QStringLiteral("Test ") + path);
    TestHeader header = HeaderFieldsNow();
    QString error;
    const bool read = ReadTestFile(
        path, header, *m_grid,
        [this](int) { ShowOperatorError(this, QStringLiteral("Read Error Time !")); }, &error);
    if (!read) {
        ShowOperatorError(this, error);
        return;
    }
    SetHeaderFields(header);
    T.TestRun.Copies = header;
    m_tablePath = path;
}

void TForm6::SaveTest(const QString& path)
{
    if (!ConfirmFileSave(this, TestFileCells(HeaderFieldsNow(), *m_grid), true))
        return;
    setWindowTitle(QStringLiteral("Test ") + path);
    T.TestRun.Copies = HeaderFieldsNow();
    QString error;
    if (!WriteTestFile(path, T.TestRun.Copies, *m_grid, &error))
        ShowOperatorError(this, error);
    else
        m_tablePath = path;
}

TestHeader TForm6::HeaderFieldsNow() const
{
    return {m_reporter->text(), m_unit->text(), m_serial->text()};
}

void TForm6::SetHeaderFields(const TestHeader& header)
{
    m_reporter->setText(header.ReporterText);
    m_unit->setText(header.UnitText);
    m_serial->setText(header.SerialText);
}

QTableView* TForm6::ResultGrid() const { return m_resultGrid; }

// ---- TestHost ----

void TForm6::SetTimer(bool on)
{
    if (on) {
        m_timer1->start();
        ShowRunState();
        return;
    }
    m_timer1->stop();
    m_runStatus.Stopped();
    // A reply between ticks may hold the run ("Stop at Error"): no tick would tell it.
    ShowRunState();
    // The end row stops the timer: the run's record is complete.
    const QString command = Run().Cell(kTestCommand);
    if (m_journal && IsEndCommand(command))
        m_journal->RunEnds(RunEnding::Completed, QString());
}

bool TForm6::TimerEnabled() const { return m_timer1->isActive(); }

TestOptions TForm6::Options() const
{
    return {m_stopAtError->isChecked(), m_serialPlusOne->isChecked(), m_startAtStep1->isChecked(),
            m_autoSave->isChecked()};
}

void TForm6::SetSerialField(const QString& text) { m_serial->setText(text); }

void TForm6::RunStarted(bool newReport)
{
    m_date->setText(F.StartDate);
    m_runStatus.Started(newReport);
    if (newReport) {
        m_reportFont.setBold(true);
        // An earlier run's long error text no longer holds the labels wide.
        ReleaseSteadySize(m_runState);
        ReleaseSteadySize(m_bigResult);
    }
    // Start, or Single Step from the top: a new unit, a new record.
    if (newReport && m_journal)
        m_journal->RunBegins({.TablePath = m_tablePath,
                              .Header = T.TestRun.Copies,
                              .Link = LinkName(),
                              .Instrument = m_instrument ? m_instrument() : QString(),
                              .Slot = {},
                              .RackRun = {},
                              .Tested = m_tested});
}

void TForm6::StepRecorded(const QStringList& cells, bool shown)
{
    m_runStatus.StepRecorded(cells, shown);
    if (m_journal)
        m_journal->StepRecorded(cells, shown, Run().SentLine());
}

void TForm6::RunError(const QString& reason)
{
    m_runStatus.EndedByError(reason);
    if (m_journal)
        m_journal->RunEnds(RunEnding::Error, reason);
}

QString TForm6::LinkName() const { return ::LinkName(L); }

void TForm6::ShowStepNumber(const QString& nr) { SetSteadyText(m_stepLabel, nr); }

void TForm6::ShowStepFields(const QString& lower, const QString& upper, const QString& comment)
{
    SetSteadyText(m_lower, lower);
    SetSteadyText(m_upper, upper);
    SetSteadyText(m_comment, comment);
}

// Sending a row clears the result, and its reply, mostly a few milliseconds later, fills it in,
// first with the reply and then with the value recorded. Only what stands at the end of an event
// is drawn, and a clearing only when no result has followed it within a tick: a quick reply
// costs the window one repaint, and none when it repeats the result already shown.
void TForm6::SetResultText(const QString& text)
{
    m_resultText = text;
    if (text.isEmpty() && !m_result->text().isEmpty()) {
        if (!m_clearResult->isActive())
            m_clearResult->start();
        return;
    }
    if (m_resultPosted)
        return;
    m_resultPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_resultPosted = false;
            ShowResultText();
        },
        Qt::QueuedConnection);
}

// Edit3Change: the large label repeats the result, in its colour.
void TForm6::ShowResultText()
{
    m_clearResult->stop();
    SetSteadyText(m_result, m_resultText);
    SetSteadyText(m_bigResult, m_resultText);
}

void TForm6::SetResultRed(bool red)
{
    // Told at every step; a style sheet set again restyles the fields for nothing.
    if (red == m_resultRed)
        return;
    m_resultRed = red;
    const QString sheet = red ? QStringLiteral("color: red;") : QString();
    m_result->setStyleSheet(sheet);
    m_bigResult->setStyleSheet(QStringLiteral("font-size: 28px; font-weight: bold; ") + sheet);
}

void TForm6::ShowMessage(const QString& text) { ShowOperatorError(this, text); }

void TForm6::LateReply(const QString& text)
{
    if (L.Replies)
        L.Replies->LogLine(text);
}
