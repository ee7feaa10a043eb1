#pragma once

#include "results/results_query.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;
class ResultsStatsPage;

// "Test" > "Results…": the runs the station's journal holds, newest first, narrowed by serial
// number, unit, a first day and verdict; the selected run's rows below. "Open in test window"
// closes the window with that run chosen, for the test window to show as an opened report.
// The "Statistics" page shows a table version's figures since the first day, from the journal
// or the line's server (results_window_stats.h).
class ResultsWindow : public QDialog {
    Q_OBJECT

public:
    // At most this many runs are listed, the newest.
    static constexpr int kListed = 1000;

    explicit ResultsWindow(const QString& journalPath, QWidget* parent = nullptr);
    ~ResultsWindow() override;

    // Reads the runs again with the filters as they are now.
    void Refresh();
    // The run "Open in test window" chose, as its report.
    const std::optional<ResultsQuery::RunReport>& Chosen() const { return m_chosen; }
    void OpenInTestWindowClick();

private:
    void BuildWindow();
    ResultsQuery::Filter FilterNow() const;
    void ShowStatus();
    void ShowRun(int listRow);

    QString m_connection;
    QString m_openError;
    QList<RunRecord> m_runs;
    QList<RowRecord> m_rows; // the selected run's
    std::optional<ResultsQuery::RunReport> m_chosen;
    QString m_runsStatus;

    QLineEdit* m_serial = nullptr;
    QLineEdit* m_unit = nullptr;
    QCheckBox* m_sinceOn = nullptr;
    QDateEdit* m_since = nullptr;
    QComboBox* m_verdict = nullptr;
    QTableWidget* m_runGrid = nullptr;
    QTableWidget* m_rowGrid = nullptr;
    QTabWidget* m_tabs = nullptr;
    ResultsStatsPage* m_stats = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_open = nullptr;
};
