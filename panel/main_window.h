#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "common/program_places.h"
#include "common/stopwatch_values.h"
#include "link/io_config_window.h"
#include "link/link_state.h"
#include "panel/panel_state.h"
#include "panel/poll_cycle.h"
#include "panel/service_sink.h"
#include "widgets/modal_window.h"

#include <QMainWindow>
#include <QString>
#include <array>
#include <memory>

class QAction;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QTimer;
class ClickableLogo;
class PortReturnWatch;
class MeasurementRecording;
class TrendWindow;

// The windows the menu opens; the program start fills in how each is made.
struct PanelWindows {
    ModalWindowSlot Test;       // TForm6, "Test" > "Start"
    ModalWindowSlot Sequence;   // TForm2, "Sequenz" > "Table"
    ModalWindowSlot IoConfig;   // TForm4, "Setup" > "I/O Config"
    ModalWindowSlot DeviceInfo; // TForm3, "Info" > "Device"
    ModalWindowSlot About;      // TForm91, "Info" > "About"
};

// TForm1, the control panel: lives for the whole run, reads the link configuration, opens the
// instrument's port, runs the poll cycle and shows what the instrument answers.
class TForm1 : public QMainWindow, private PollCycle::Host, public IoConfigHost {
    Q_OBJECT

public:
    // Creation runs the start-up steps at once: configuration, ports, discovery, poll table.
    // stopwatch: the test stopwatch, shown in the service tool's timing fields.
    TForm1(LinkState& link, PanelState& panel, ProgramPlaces& places,
           const StopwatchValues& stopwatch, ServiceToolSink& tool, PanelWindows& windows,
           QWidget* parent = nullptr);
    ~TForm1() override;

    PollCycle& Cycle() { return m_cycle; }
    QTimer* Timer1() const { return m_timer1; }
    QTimer* Timer3() const { return m_timer3; }

    // Handlers, named after their control and event.
    void BitBtn7Click();  // Connect
    void BitBtn8Click();  // Disconnect
    void Button20Click(); // QUIT
    void Start1Click();
    void able1Click();
    void IO1Click();
    void Device1Click();
    void About1Click();
    // "Setup" > "Record…": starts a recording into a file the operator picks, or stops it.
    void Record1Click();
    // "Setup" > "Trend": the live trend plot.
    void Trend1Click();
    void Image1Click();
    void Timer1Timer();
    // "IP-Auto": Timer3 posts a peak-current clear this often; the mailbox sends it once a pass.
    static constexpr int kIpAutoClearMs = 200;
    void Timer3Timer();
    // Enter in a set-value field (Edit14KeyDown and its kind).
    void SetValueEnter(const QString& fieldName);
    // Buttons that post into the operator mailbox or write directly.
    void OutputOnClick();
    void OutputOffClick();
    void AuxOnClick();
    void AuxOffClick();
    void PhaseOnClick();
    void PhaseOffClick();
    void IpClearClick();
    void IpAutoOffClick();
    void IpAutoOnClick();
    void IrmsX10Click();
    void IrmsX1Click();
    void Ot1OffClick();
    void Ot1OnClick();
    void RclStateClick();
    void SavStateClick();
    void RclState0Click();

    // The central reply handling: every received line, GPIB reply and log text passes here.
    void ParseReply(const QString& text) override;
    void LogLine(const QString& text) override;
    // Stops polling and shows the disconnected state (button, poll watch, menu entries).
    void Disconnect();
    // The start-up's port discovery is done (a network port's connect made off the event
    // loop): a Connect that came meanwhile goes on now.
    void PortDiscovered();

    // IoConfigHost
    void StopPollingForPortChange() override;
    void SetDeviceName(const QString& name) override;

    void ResetDisplay();
    void SinglePhaseLayout();
    void ThreePhaseLayout();

    // Records every complete measurement pass into path until Disconnect, close or
    // StopRecording; false (and a message to the operator) when the file cannot be made. An
    // existing file is replaced only when the operator chose it so (replaceExisting).
    bool StartRecording(const QString& path, bool replaceExisting = false);
    void StopRecording();
    MeasurementRecording& Recording() { return *m_recording; }
    // The status bar's recording text.
    QString RecordingStatus() const;
    TrendWindow* Trend() const { return m_trend; }

    // The status bar's link text: "COM2 19200 — polling", "not connected", …
    QString LinkStatus() const;
    // Whether a value field shows a reading from before polling stopped (dimmed).
    bool ReadingStale(int slot) const { return m_staleSlots[static_cast<size_t>(slot)]; }

    // The warning of a damaged TAVCON.cfg, empty when it was read cleanly.
    const QString& ConfigWarning() const { return m_configWarning; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // PollCycle::Host
    void SendPollSlot(int slot) override;
    void SendMailbox(const QByteArray& command) override;
    void StatusMissing() override;
    void SlotTaken(int slot) override;

    void FormCreate();
    void BuildWindow();
    // The pieces of BuildWindow, top to bottom.
    QLayout* MakeHeader(QWidget* central);
    QLayout* MakeMeasureGrid(QWidget* central);
    QLayout* MakeSettingGrid(QWidget* central);
    static QLayout* MakePerPhaseGrid(QWidget* central);
    void MakeButtons(QWidget* central);
    QLayout* MakeButtonRows(QWidget* central);
    void BuildMenu();
    // What one connection keeps about itself starts afresh here, at every Connect.
    void NewConnection();
    // Polling runs: the timer, the status line, the buttons of the connected state.
    void StartPolling(const QString& status);
    // "Disconnect" or "Connect" visible; the state controls only usable while disconnected.
    void ShowConnected(bool connected);
    void PortLost(TCiaComPort* port, int error);
    // The instrument's lost device is waited for; PortBack reopens it when it is there again.
    void WatchForReturn(TCiaComPort* port, bool polling);
    // A network port's device server cannot be watched: it is connected to again, off the
    // event loop, every two seconds for ten minutes.
    void TryNetworkReturn();
    void StopReturnWatch();
    bool PortBack();
    // Polling stops while another window has the link; the status bar says which.
    void StopPollingFor(const QString& window);
    // One query of the output state outside the poll cycle, after a window that had the link.
    void ReadOutputState();
    void ShowLinkStatus(const QString& text);
    // Every value field dimmed: what it shows is no longer polled.
    void ShowReadingsStale();
    void ShowSlotValue(int slot, const QString& text);
    void ShowPair(QPushButton* on, QPushButton* off, bool showOn);
    static void ShowInField(QLineEdit* field, const QString& text);
    void IdentificationReply(const QString& reply);
    void OptionsReply(const QString& reply);
    void PostOperatorCommand(const QByteArray& command);
    void WriteStateCommand(const QByteArray& line);
    void WireOperatorControls();
    void ShowRecordingStatus(bool failed);
    QLineEdit* Field(const char* name) const;
    QLineEdit* SlotField(int slot) const { return m_slotFields[static_cast<size_t>(slot)]; }

    LinkState& L;
    PanelState& P;
    ProgramPlaces& F;
    const StopwatchValues& m_stopwatch;
    ServiceToolSink& Tool;
    PanelWindows& Windows;
    PollCycle m_cycle;
    QString m_configWarning;

    QTimer* m_timer1 = nullptr;
    QTimer* m_timer3 = nullptr;
    ClickableLogo* m_image1 = nullptr;
    QLabel* m_label15 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label28 = nullptr;
    QLineEdit* m_deviceName = nullptr;
    QLineEdit* m_edit3 = nullptr;
    std::array<QPushButton*, 3> m_ccIndicators{};
    std::array<QPushButton*, 3> m_olIndicators{};
    QPushButton* m_connect = nullptr;
    QPushButton* m_disconnect = nullptr;
    QPushButton* m_outputOn = nullptr;
    QPushButton* m_outputOff = nullptr;
    QPushButton* m_phaseOn = nullptr;
    QPushButton* m_phaseOff = nullptr;
    QPushButton* m_auxOn = nullptr;
    QPushButton* m_auxOff = nullptr;
    QPushButton* m_ipAutoOff = nullptr;
    QPushButton* m_ipAutoOn = nullptr;
    QPushButton* m_irmsX10 = nullptr;
    QPushButton* m_irmsX1 = nullptr;
    QPushButton* m_ot1Off = nullptr;
    QPushButton* m_ot1On = nullptr;
    QPushButton* m_rclState = nullptr;
    QPushButton* m_savState = nullptr;
    QPushButton* m_rclState0 = nullptr;
    QPushButton* m_ipClear = nullptr;
    QPushButton* m_quit = nullptr;
    bool m_lostReported = false; // the lost port was told since the operator's Connect
    QPointer<QWidget> m_lostBox; // the box that told it, while it is open
    PortReturnWatch* m_returnWatch = nullptr;
    bool m_resumeOnReturn = false;   // polling goes on by itself once the lost port is back
    QElapsedTimer m_networkReturn;   // valid while a network port is tried again
    bool m_connectWhenOpen = false;  // Connect came while the port was still connecting
    bool m_outputStateAsked = false; // the next reply answers ReadOutputState
    std::unique_ptr<MeasurementRecording> m_recording;
    QLabel* m_recordStatus = nullptr;
    QLabel* m_linkStatus = nullptr;
    std::array<bool, 101> m_staleSlots{};
    QAction* m_recordAction = nullptr;
    TrendWindow* m_trend = nullptr;
    // The value field of each poll slot, looked up once: replies come every 60 ms.
    std::array<QLineEdit*, 101> m_slotFields{};
};
