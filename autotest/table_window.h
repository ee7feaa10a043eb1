#pragma once

#include "autotest/interpreter.h"
#include "autotest/report_file.h"
#include "autotest/result_table.h"
#include "autotest/run_host.h"
#include "autotest/run_journal.h"
#include "autotest/run_status.h"
#include "autotest/session.h"
#include "autotest/value_prompt.h"
#include "sequence/row_editing.h"

#include "autotest/tested_with.h"
#include <QDialog>
#include <QFont>

#include <functional>
#include <memory>
#include <optional>

struct ExportState;

class QCheckBox;
class QLabel;
class QLineEdit;
class QPagedPaintDevice;
class QPrinter;
class QPushButton;
class QTableView;
class QTimer;
class ResultGridView;
class StepGridWidget;

// TForm6, "Test": the test table with its file, the run controls and the result grid. A thin
// window over the interpreter, which holds the run; made afresh at every opening.
class TForm6 : public QDialog, private TestHost, private ValuePrompt {
    Q_OBJECT

public:
    TForm6(LinkState& link, const ProgramPlaces& places, AutotestState& test, ExportState& exports,
           QWidget* parent = nullptr);
    ~TForm6() override;

    StepGridWidget* Grid() const { return m_grid; }
    QTableView* ResultGrid() const;
    TestInterpreter& Run() { return m_session.Run(); }
    const ResultTable& Results() const { return m_results; }
    QTimer* Timer1() const { return m_timer1; }
    // The report is printed bold once a run started (or a report was opened).
    bool ReportFontBold() const { return m_reportFont.bold(); }
    // Where every run of this window is recorded (the results database); none when null.
    void SetJournal(RunJournal* journal) { m_journal = journal; }
    // The instrument's identification as a run's record keeps it (empty when not known), asked
    // when a run begins; the program reads it from the control panel.
    void SetInstrument(std::function<QString()> identification)
    {
        m_instrument = std::move(identification);
    }
    // Asked when "Start" or "Single Step" would begin a new unit, with the window's table (whose
    // limit cells it may fill from a limits file): what the record keeps of the instrument's
    // calibration and the limits applied, or none when the run must not begin.
    using StartCheck = std::function<std::optional<TestedWith>(QWidget*, StepGrid&)>;
    void SetStartCheck(StartCheck check) { m_startCheck = std::move(check); }
    // A run of the results database in the result grid, as an opened report shows it.
    void ShowRecordedRun(const ReportFileHeader& header, const QList<QStringList>& rows);
    // The printer "Print Report" offers, kept with the operator's choices between prints.
    QPrinter& Printer();

    // Handlers. OpenTest and SaveTest take the path the dialog gave.
    void Button3Click();  // Start
    void Button15Click(); // Single Step
    void Button5Click();  // Pause
    void Button6Click();  // Continue
    void OpenTestClick();
    void SaveTestClick();
    void OpenTest(const QString& path);
    void SaveTest(const QString& path);
    void Timer1Timer();

    // The report buttons; the path-taking ones do what the button does after its dialog.
    void SaveReportClick();
    void OpenReportClick();
    void PrintReportClick();
    void ExportTextClick();
    void SaveReportFile(const QString& path);
    void OpenReportFile(const QString& path);
    void PrintReport(QPagedPaintDevice& device);
    void ExportTextFile(const QString& path);
    void Button13Click(); // Send to Excel
    void ExcelOptionsClick();

    void done(int result) override;

private:
    void BuildWindow();
    QWidget* BuildSidePanel();
    QWidget* BuildStepFields();
    QWidget* BuildHeaderFields();
    // The run-state label, restyled only when its words or colour change.
    void ShowRunState();
    TestHeader HeaderFieldsNow() const;
    void SetHeaderFields(const TestHeader& header);
    void ShowReportHeader(const ReportFileHeader& header);

    // TestHost
    void SetTimer(bool on) override;
    bool TimerEnabled() const override;
    TestOptions Options() const override;
    TestHeader HeaderFields() const override { return HeaderFieldsNow(); }
    void SetSerialField(const QString& text) override;
    void RunStarted(bool newReport) override;
    void ShowStepNumber(const QString& nr) override;
    void ShowStepFields(const QString& lower, const QString& upper,
                        const QString& comment) override;
    void SetResultText(const QString& text) override;
    void ShowResultText();
    void SetResultRed(bool red) override;
    void ShowMessage(const QString& text) override;
    void LateReply(const QString& text) override;
    void StepRecorded(const QStringList& cells, bool shown) override;
    void RunError(const QString& reason) override;
    QString LinkName() const;
    void TellUnavailablePorts();

    // ValuePrompt: "@MSGVARnn" asks through TForm8.
    QString AskValue(const QString& defaultText, const QString& promptText) override;

    LinkState& L;
    const ProgramPlaces& F;
    AutotestState& T;
    ExportState& E;
    RowRangeSelection m_selection;
    ResultTable m_results;
    StepGridWidget* m_grid = nullptr;
    TestSession m_session;
    ResultGridView* m_resultGrid = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_clearResult = nullptr; // draws a cleared result no reply has filled in time
    QString m_resultText;            // the result as last set, drawn once its event is over
    bool m_resultPosted = false;
    QFont m_reportFont;
    std::unique_ptr<QPrinter> m_printer;
    RunJournal* m_journal = nullptr;
    std::function<QString()> m_instrument;
    StartCheck m_startCheck;
    TestedWith m_tested; // the start check's word on the run that begins
    bool StartAllowed(bool newUnit);
    QString m_tablePath;    // the test file last opened or saved
    QList<int> m_portsTold; // auxiliary ports whose problem the operator has been shown

    RunStatus m_runStatus;
    RunStatus::View m_runStateShown;
    QLabel* m_runState = nullptr;
    QLabel* m_stepLabel = nullptr;
    QLabel* m_bigResult = nullptr;
    bool m_resultRed = false; // the fields start black
    QLineEdit* m_lower = nullptr;
    QLineEdit* m_upper = nullptr;
    QLineEdit* m_comment = nullptr;
    QLineEdit* m_result = nullptr;
    QLineEdit* m_reporter = nullptr;
    QLineEdit* m_unit = nullptr;
    QLineEdit* m_serial = nullptr;
    QLineEdit* m_date = nullptr;
    QCheckBox* m_stopAtError = nullptr;
    QCheckBox* m_serialPlusOne = nullptr;
    QCheckBox* m_startAtStep1 = nullptr;
    QCheckBox* m_autoSave = nullptr;
};
