#pragma once

#include <QDialog>

class QTimer;

// The program's name for the system ("TAV Control"). No display name: the window system would
// append it to every window title, and the captions are the windows' own.
void SetProgramName();

// TForm90, the splash window: shown at program start, gone by itself 3000 ms later.
class TForm90 : public QDialog {
    Q_OBJECT

public:
    // How long the splash stays before it closes itself.
    static constexpr int kShowMs = 3000;

    explicit TForm90(QWidget* parent = nullptr);
    QTimer* Timer1() const { return m_timer; }

private:
    QTimer* m_timer;
};

// TForm91, the about window, opened from "Info" > "About".
class TForm91 : public QDialog {
    Q_OBJECT

public:
    explicit TForm91(QWidget* parent = nullptr);
};
