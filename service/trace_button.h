#pragma once

#include <QPushButton>

class TraceWriter;

// "Trace to file…": starts the traffic trace into a file the technician picks; while the trace
// runs the button reads "Stop trace" and ends it. A trace started with --trace shows the same.
class TraceButton : public QPushButton {
    Q_OBJECT

public:
    TraceButton(TraceWriter& trace, QWidget* parent);

    // Starts or stops the trace as a click does, with the file already chosen (empty: cancel).
    void Toggle(const QString& path);
    void ShowState();

private:
    TraceWriter& m_trace;
};
