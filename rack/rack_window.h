#pragma once

#include "autotest/result_table.h"
#include "run/rack_view.h"

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class RackRunner;
class ResultGridView;
class ResultsStore;
struct ProgramPlaces;

// "Test" > "Rack…": one test table on several instruments at once, as tavtest --slot runs it.
// A grid of slots (port and serial number typed in; state in words and colour, row, last value
// and verdict as the run goes), Start all and Stop all, and the chosen slot's report in a
// result grid like the test window's. Each slot's report is kept in the program's report
// folder under the free-name rule; every slot is a run of its own in the results journal.
class RackWindow : public QDialog, private RackView {
    Q_OBJECT

public:
    static constexpr int kSlotRows = 8;
    enum Column { kPort, kSerial, kState, kRow, kValue, kVerdict, kColumns };

    RackWindow(ResultsStore& results, const ProgramPlaces& places, QWidget* parent = nullptr);
    ~RackWindow() override;

    // The table the slots run, as "Open Test" picks it.
    void SetTable(const QString& path);
    void StartAll();
    void StopAll();
    bool Running() const;
    QTableWidget* SlotGrid() const { return m_slots; }
    // The report of the slot in grid row `row`, shown below the grid.
    void ShowSlotReport(int row);

    void done(int result) override;

private:
    // RackView: the slots' progress, each in its grid row.
    int AddSlot(const QString& name) override;
    void SetRow(int slot, int done, int total) override;
    void SetValue(int slot, const QString& value) override;
    void SetState(int slot, const QString& state) override;
    void Print(const QString& line) override;

    void SetCell(int row, int column, const QString& text);
    void RackFinished();

    ResultsStore& m_results;
    const ProgramPlaces& m_places;
    QString m_table;
    QLineEdit* m_tableField = nullptr;
    QTableWidget* m_slots = nullptr;
    QPlainTextEdit* m_log = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    ResultTable m_shown;
    ResultGridView* m_report = nullptr;
    std::unique_ptr<RackRunner> m_rack;
    QList<int> m_slotRows; // the grid row of each running slot
    int m_slotsAdded = 0;
};
