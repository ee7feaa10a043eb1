#pragma once

#include <QWidget>
#include <array>

class MeasurementRecording;
class QChart;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QTimer;
class TrendPane;

// The live trend plot: voltage, current and power of the connected phases against time since
// Connect, each quantity in a pane of its own under one time axis, refreshed twice a second
// from the recording's plot store. The time window is the last minute, ten minutes, hour or
// everything (while the run is shorter than the window, the run itself); the operator can
// pause, zoom and pan with the mouse ("Live" follows the newest samples again), switch curves
// off and on in the legends, read the values under the mouse and export the view as PNG or SVG.
class TrendWindow : public QWidget {
    Q_OBJECT

public:
    enum class Span { OneMinute, TenMinutes, OneHour, All };

    explicit TrendWindow(const MeasurementRecording& recording, QWidget* parent = nullptr);

    // The refresh timer's period and handler: redraws from the store unless paused.
    static constexpr int kRefreshMs = 500;
    void Refresh();
    void SetSpan(Span span);
    void SetPaused(bool paused);
    // Back to the span's window on the newest samples.
    void FollowLive();
    bool Following() const { return m_following; }

    bool ExportPng(const QString& path);
    bool ExportSvg(const QString& path);

    // Where the window's frame goes beside the main window's: to its right when the screen has
    // room, else to its left, else narrowed to the room on one of those sides if that is not
    // below its minimum, else below or above it, else where it covers the least of it; always
    // on the screen's available area and no larger.
    static QRect PlaceBeside(const QRect& mainFrame, const QSize& frame, const QSize& minimum,
                             const QRect& available);
    // Shows the window, the first time placed beside the main window; afterwards where the
    // operator left it.
    void ShowBeside(const QWidget& main);

    // The panes by quantity (U, I, P); Chart() is the voltage pane's.
    TrendPane* Pane(int quantity) const { return m_panes[static_cast<size_t>(quantity)]; }
    QChart* Chart() const;
    QTimer* TrendTimer() const { return m_timer; }
    // Curve index as the plot store counts it (phase * 3 + U/I/P).
    QLineSeries* Curve(int curve) const;
    // The readout of the sample nearest to that time (seconds since the plot's zero), and a
    // line through every pane at it, as the mouse over a plot shows them; NaN (the mouse left)
    // takes the lines away and leaves the readout.
    void ShowReadout(double seconds);
    QString Readout() const;

private:
    void BuildPanes();
    void ExportClick(bool svg);
    void ViewMoved(int pane);
    void AlignPanes();

    const MeasurementRecording& m_recording;
    std::array<TrendPane*, 3> m_panes{};
    QWidget* m_plots = nullptr;
    QLabel* m_readout = nullptr;
    QComboBox* m_span = nullptr;
    QCheckBox* m_pause = nullptr;
    QTimer* m_timer = nullptr;
    // The pane whose time range the operator moved last; the others follow it.
    int m_leader = 0;
    bool m_following = true;
    bool m_updating = false;
    bool m_placed = false;
};
