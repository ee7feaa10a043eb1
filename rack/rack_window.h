#pragma once

#include "autotest/result_table.h"
#include "run/rack_view.h"
#include "run/terminal_questions.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QWidget;
class RackRunner;
class ResultGridView;
class ResultsStore;
struct ProgramPlaces;
struct RunnerOptions;

// "Test" > "Rack…": one test table on several instruments at once, as tavtest --slot runs it.
// A grid of slots (port chosen among the ports found or typed, serial number typed or scanned;
// state in words and colour, row, last value and verdict as the run goes), Start all and Stop
// all, the chosen slot's report in a result grid like the test window's, and the slots' PAUSE
// rows and prompts asked one at a time, each naming its slot. Each slot's report is kept in the
// reports folder chosen, under the free-name rule; every slot is a run of its own in the
// results journal.
class RackWindow : public QDialog, private RackView, private QuestionQueue {
    Q_OBJECT

public:
    static constexpr int kSlotRows = 8;
    enum Column { kPort, kSerial, kState, kRow, kValue, kVerdict, kColumns };

    RackWindow(ResultsStore& results, const ProgramPlaces& places, QWidget* parent = nullptr);
    ~RackWindow() override;

    // The table the slots run, as "Open Test" picks it (a path typed into the field counts too).
    void SetTable(const QString& path);
    // Where the slots' reports (and PDF and JUnit files, when chosen) are kept.
    void SetReportFolder(const QString& folder);
    void StartAll();
    void StopAll();
    bool Running() const;
    QTableWidget* SlotGrid() const { return m_slots; }
    // The report of the slot in grid row `row`, shown below the grid.
    void ShowSlotReport(int row);
    // The question waiting for the operator, empty when none; Answer gives it its line.
    QString AskedQuestion() const;
    void Answer(const QString& line);

    void done(int result) override;

private:
    // RackView: the slots' progress, each in its grid row.
    int AddSlot(const QString& name) override;
    void SetRow(int slot, int done, int total) override;
    void SetValue(int slot, const QString& value) override;
    void SetState(int slot, const QString& state) override;
    void Print(const QString& line) override;
    // The slots' questions: asked below the grid, one at a time.
    void Show(const Question* question) override;

    void BuildLayout();
    QStringList ReadSlots(RunnerOptions& options);
    void ShowSerials();
    void MarkSerial(QTableWidgetItem* item, bool shown);
    void SetCell(int row, int column, const QString& text);
    void ShowEndState(int slot);
    void RackFinished();

    ResultsStore& m_results;
    const ProgramPlaces& m_places;
    QLineEdit* m_tableField = nullptr;
    QLineEdit* m_limitsField = nullptr;
    QLineEdit* m_folderField = nullptr;
    QCheckBox* m_pdf = nullptr;
    QCheckBox* m_junit = nullptr;
    QTableWidget* m_slots = nullptr;
    QWidget* m_questionBox = nullptr;
    QLabel* m_question = nullptr;
    QLineEdit* m_answer = nullptr;
    QPlainTextEdit* m_log = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    ResultTable m_shown;
    QLabel* m_reportOf = nullptr; // whose report is shown
    ResultGridView* m_report = nullptr;
    std::unique_ptr<RackRunner> m_rack;
    QList<int> m_slotRows; // the grid row of each running slot
    int m_slotsAdded = 0;
    bool m_filling = false; // the window writes into the grid, not the operator
};
