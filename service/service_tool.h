#pragma once

#include "link/gpib_messages.h"
#include "link/link_state.h"
#include "panel/service_sink.h"
#include "service/config_transfer.h"

#include <QDialog>
#include <QHash>

class QButtonGroup;
class QComboBox;
class QLayout;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TraceWriter;

// TForm5, the service tool ("Tool"): the traffic log, the fields other windows write into, a
// free command line and the model configuration of an instrument. It exists for the whole run;
// the logo shows it and "Close" hides it again (a transfer under way goes on).
class TForm5 : public QDialog,
               public ServiceToolSink,
               public GpibMessages,
               public ConfigTransfer::Host {
    Q_OBJECT

public:
    // The log keeps the newest lines, not all of a shift's.
    static constexpr int kLogLines = 5000;

    // trace: the traffic trace its "Trace" button starts and stops.
    TForm5(LinkState& link, TraceWriter& trace, QWidget* parent = nullptr);
    ~TForm5() override;

    // ServiceToolSink
    void AppendLog(const QString& line) override;
    void ShowTool() override;
    void ShowCommaPositions(const std::array<int, 4>& positions) override;
    void ShowIdentity(const QString& manufacturer, const QString& model,
                      const QString& serialNumber, const QString& revision) override;
    void ShowRevisionMarker(const QString& text) override;
    void ShowIdentDetail(const QString& text) override;
    void ShowThreePhase(const QString& text) override;
    void ShowStatusWord(const QString& text) override;
    void ShowStopwatch(const StopwatchValues& stopwatch) override;

    // The text of a named field or label (Edit53, Label21, ...), as the operator sees it.
    QString FieldText(const QString& objectName) const;

    // GpibMessages
    void AppendErrBox(const QString& line) override;
    void ClearErrBox() override;
    void SetMeter(const QString& text) override;

    // ConfigTransfer::Host: only CiaComPort1, and only while it is open, carries these lines.
    bool WriteIfOpen(const QByteArray& line) override;
    void SetTimerActive(bool on) override;

    // "Send Comand" (or Enter in the command edit): the edit's text to the instrument, and into
    // the log whether it left or not, marked as the configuration lines are when it did not.
    void SendComandClick();
    // "Send Config".
    void SendConfigClick();
    void Timer1Timer();

    ConfigSelection Selection() const;
    const ConfigTransfer& Transfer() const { return m_transfer; }
    QTimer* Timer1() const { return m_timer1; }

    // The log with every line appended so far.
    QPlainTextEdit* Memo1() const
    {
        FlushLog();
        return m_memo1;
    }
    QListWidget* ErrBox() const { return m_errBox; }
    QLineEdit* Meter() const { return m_meter; }

private:
    QWidget* Named(const QString& objectName) const;
    void SetFieldText(const QString& objectName, const QString& text);
    QLayout* MakeIdentFields();
    QLayout* MakeConfigControls();
    QPushButton* MakeButton(const QString& text, const QString& name, void (TForm5::*click)());
    QButtonGroup* MakeRadioGroup(const QString& name, const QString& title,
                                 const QStringList& items, QLayout* into);

    LinkState& L;
    TraceWriter& m_trace;
    mutable QHash<QString, QWidget*> m_named;
    QPlainTextEdit* m_memo1 = nullptr;
    // Lines logged while the tool is hidden: laying each out in a hidden log was most of what
    // polling cost; they go in when the log is shown or read.
    mutable QStringList m_pendingLog;
    void FlushLog() const;
    void showEvent(QShowEvent* event) override;
    QListWidget* m_errBox = nullptr;
    QLineEdit* m_meter = nullptr;
    QComboBox* m_model = nullptr;
    QButtonGroup* m_voltage = nullptr;
    QButtonGroup* m_frequency = nullptr;
    QButtonGroup* m_option = nullptr;
    QLineEdit* m_command = nullptr;
    QTimer* m_timer1 = nullptr;
    ConfigTransfer m_transfer;
};
