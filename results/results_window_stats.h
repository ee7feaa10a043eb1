#pragma once

#include "results/stats_reader.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QSvgWidget;
class QTableWidget;

// The results window's "Statistics" page: one table version's figures over the window's period,
// from the station's journal or the line's server (the one "Setup" > "Results…" keeps):
// first-pass and final yield, each checked step's figures with its Cpk, and the chosen step's
// histogram and control chart. Read by a StatsReader, so a server that is down or slow leaves
// the window working; what the page is doing or why it failed goes to Status.
class ResultsStatsPage : public QWidget {
    Q_OBJECT

public:
    ResultsStatsPage(const QString& journalPath, QWidget* parent = nullptr);

    // The first day's start (0: every run); reads again when it changed.
    void SetSince(qint64 sinceMs);
    // Reads the table versions present and the chosen one's figures.
    void Refresh();
    const QString& StatusText() const { return m_statusText; }
    // The figures shown now.
    const StatsReading::Answer& Shown() const { return m_shown; }

Q_SIGNALS:
    void Status(const QString& text);

private:
    void BuildPage();
    void Ask();
    void TakeAnswer(quint64 id, const StatsReading::Answer& answer);
    void ShowChoices(const QList<StatsReading::Choice>& choices);
    void ShowFigures();
    void ShowPlots();
    void SetStatus(const QString& text);
    StatsReading::Source SourceNow() const;

    QString m_journalPath;
    StatsReader* m_reader = nullptr;
    qint64 m_sinceMs = 0;
    quint64 m_asked = 0;
    // What the next request must bring, until an answer brought it.
    bool m_needChoices = true;
    bool m_needFigures = true;
    bool m_needValues = false;
    QString m_step; // the step whose plots are shown
    StatsReading::Answer m_shown;
    QString m_statusText;

    QComboBox* m_source = nullptr;
    QComboBox* m_version = nullptr;
    QLabel* m_runs = nullptr;
    QLabel* m_firstPass = nullptr;
    QLabel* m_final = nullptr;
    QTableWidget* m_steps = nullptr;
    QSvgWidget* m_histogram = nullptr;
    QSvgWidget* m_chart = nullptr;
};
