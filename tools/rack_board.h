#pragma once

#include "run/rack_view.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <vector>

// A rack's live view on a terminal: one line per slot (slot, serial, row, state, last value),
// drawn below the lines the slots print and redrawn at most four times a second.
class RackBoard : public QObject, public RackView {
public:
    explicit RackBoard(std::FILE* out);

    // Slot i's line, before anything is drawn.
    int AddSlot(const QString& name) override;
    void SetRow(int slot, int done, int total) override;
    void SetValue(int slot, const QString& value) override;
    void SetState(int slot, const QString& state) override;
    // A line that stays: drawn above the board, which follows it again.
    void Print(const QString& line) override;
    // A question waits on the terminal: the board stays away from its line until it is
    // answered (the typed line ends it).
    void Ask(const QString& question) override;
    void Answered() override;
    void Finish() override;

    static constexpr int kRedrawMs = 250;

private:
    struct Slot {
        QString Name;
        QString State = QStringLiteral("starting");
        QString Value;
        int Done = 0;
        int Total = 0;
    };
    void Changed();
    void Draw();
    void Erase();

    std::FILE* m_out;
    std::vector<Slot> m_slots;
    QTimer m_redraw;
    int m_drawn = 0;    // board lines on the terminal now
    QString m_question; // asked and not yet answered
};
