#include "panel/main_window.h"

#include "link/port_return_watch.h"
#include "panel/operator_commands.h"
#include "panel/program_start.h"
#include "panel/reply_parser.h"
#include "record/measurement_recording.h"
#include "widgets/operator_messages.h"
#include "widgets/window_timer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <cstring>
#include <utility>

TForm1::TForm1(LinkState& link, PanelState& panel, ProgramPlaces& places,
               const StopwatchValues& stopwatch, ServiceToolSink& tool, PanelWindows& windows,
               QWidget* parent)
    : QMainWindow(parent), L(link), P(panel), F(places), m_stopwatch(stopwatch), Tool(tool),
      Windows(windows), m_cycle(*this), m_returnWatch(new PortReturnWatch(this)),
      m_recording(std::make_unique<MeasurementRecording>())
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("TAV-Control"));
    BuildWindow();
    // The panel's client area keeps its height; the link's and the recording's status line
    // comes below it.
    m_linkStatus = new QLabel(this);
    m_linkStatus->setObjectName(QStringLiteral("LinkStatus"));
    statusBar()->addWidget(m_linkStatus, 1);
    m_recordStatus = new QLabel(this);
    m_recordStatus->setObjectName(QStringLiteral("RecordStatus"));
    statusBar()->addWidget(m_recordStatus, 1);
    resize(851, 763 + statusBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
    m_recording->SetRowObserver([this](bool failed) { ShowRecordingStatus(failed); });
}

TForm1::~TForm1()
{
    DetachPortHandlers(L);
    if (L.Replies == this)
        L.Replies = nullptr;
    L.Gpib.SetDeviceName(m_deviceName->text());
}

QLineEdit* TForm1::Field(const char* name) const
{
    return findChild<QLineEdit*>(QString::fromLatin1(name));
}

// ---- creation ----

void TForm1::FormCreate()
{
    // The service tool exists already: the reply handling writes into it from the start.
    m_cycle.TimerCommand.Clear();
    m_cycle.OperatorCommand.Clear();
    m_cycle.CycleBase = 0;
    m_cycle.MeasEnd = 23;
    m_cycle.SetEnd = 58;
    m_cycle.StatusPending = false;

    ResetDisplay();
    SinglePhaseLayout();
    ShowReadingsStale();
    ShowLinkStatus(QStringLiteral("not connected"));

    L.Replies = this;
    m_configWarning =
        StartProgramState(L, P, F, [this](TCiaComPort* p, int error) { PortLost(p, error); });
    m_deviceName->setText(L.Settings.GpibDeviceName);

    m_connect->show();
    m_disconnect->hide();
    m_ipAutoOn->hide();
    m_ipAutoOff->show();
    m_irmsX10->hide();
    m_irmsX1->hide();
    m_ot1Off->hide();
    m_ot1On->hide();

    m_cycle.ReplySlot = 0;
    m_cycle.PollSlot = 1;
    m_cycle.PollTable = BuildPollTable();

    // A damaged configuration file is worth one message, once the window is up.
    if (!m_configWarning.isEmpty())
        QTimer::singleShot(0, this, [this] { ShowOperatorError(this, m_configWarning); });
}

// ---- connection ----

void TForm1::BitBtn7Click()
{
    // The port still connects (a network port at start-up): Connect goes on once it has.
    if (L.SerialLink && L.OpeningAhead()) {
        m_connectWhenOpen = true;
        ShowLinkStatus(QStringLiteral("%1 connecting…").arg(LinkName(L)));
        return;
    }
    if (!L.SerialLink) {
        L.Gpib.GpibPreparation(L.Settings.GpibAddress, L.Settings.IoType);
        L.LinkOpened = true;
    }
    // A port lost before this Connect was told then; one lost from now on is news again.
    m_lostReported = false;
    NewConnection();
    if (L.LinkOpened) {
        // "COM2 19200", "COM6 tcp://bench-ds1:4001", "GPIB address 5".
        const QString line = L.SerialLink ? LinkLineText(L) : QString();
        StartPolling(
            QStringLiteral("%1 — polling")
                .arg(line.isEmpty() ? LinkName(L) : LinkName(L) + QLatin1Char(' ') + line));
    } else {
        // Why, when an open said so (a device server that refused or did not answer).
        const int error = L.SerialLink ? L.ComPort(1).OpenError() : 0;
        ShowLinkStatus(
            error == 0
                ? QStringLiteral("%1 not open").arg(LinkName(L))
                : QStringLiteral("%1 not open: %2 — \"Setup\" > \"I/O Config\" chooses "
                                 "the port again")
                      .arg(LinkName(L), SerialOpenProblem(L.Settings.PortText.toInt(), error)));
    }
    ShowConnected(true);
}

void TForm1::ShowConnected(bool connected)
{
    m_connect->setVisible(!connected);
    m_disconnect->setVisible(connected);
    for (QWidget* w : {static_cast<QWidget*>(m_rclState), static_cast<QWidget*>(m_savState),
                       static_cast<QWidget*>(m_rclState0), static_cast<QWidget*>(m_edit3)})
        w->setEnabled(!connected);
}

void TForm1::StartPolling(const QString& status)
{
    m_timer1->start();
    ShowLinkStatus(status);
}

// The one place that starts what a connection keeps afresh.
void TForm1::NewConnection()
{
    m_outputStateAsked = false;
    if (!L.LinkOpened)
        return;
    m_recording->Connected();
    m_cycle.StartAtConnect();
}

void TForm1::PortDiscovered()
{
    if (std::exchange(m_connectWhenOpen, false))
        BitBtn7Click();
}

void TForm1::Disconnect()
{
    m_connectWhenOpen = false;
    m_timer1->stop();
    // Nothing is asked now: a line that still comes in answers no slot of the panel's.
    m_cycle.ReplySlot = 0;
    ShowReadingsStale();
    ShowLinkStatus(QStringLiteral("not connected"));
    StopRecording();
    if (!L.SerialLink)
        L.Gpib.GpibRelease();
    DeviceIdentType& id = P.DeviceIdent;
    id.Identification = QStringLiteral("Disconnected");
    id.Manufacturer = id.Model = id.SerialNumber = id.Revision = id.Options = QStringLiteral("---");
    m_label15->setText(id.Model);
    Tool.ShowIdentity(id.Manufacturer, id.Model, id.SerialNumber, id.Revision);
    ShowConnected(false);
}

void TForm1::BitBtn8Click()
{
    m_resumeOnReturn = false;
    Disconnect();
}

void TForm1::StopPollingForPortChange()
{
    StopReturnWatch(); // the operator picks the port now
    m_timer1->stop();
    m_cycle.ReplySlot = 0;
    ShowReadingsStale();
    ShowLinkStatus(QStringLiteral("not connected"));
    StopRecording();
    P.DeviceIdent.Identification = QStringLiteral("Disconnected");
    m_connect->show();
    m_disconnect->hide();
}

void TForm1::SetDeviceName(const QString& name) { m_deviceName->setText(name); }

void TForm1::Button20Click()
{
    m_timer1->stop();
    if (!L.SerialLink)
        L.Gpib.GpibRelease();
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    m_timer1->stop();
    StopReturnWatch();
    StopRecording();
    L.ComPort(1).SetActive(false);
    L.ComPort(2).SetActive(false);
    QString error;
    if (!WriteLinkConfig(LinkConfigPath(), L.Settings, &error))
        ShowOperatorError(
            this, QStringLiteral("Cannot write %1: %2").arg(QStringLiteral("TAVCON.cfg"), error));
    event->accept();
}

// ---- menu ----

void TForm1::StopPollingFor(const QString& window)
{
    // The window has the link now; after it the operator connects again.
    m_resumeOnReturn = false;
    Disconnect();
    ShowLinkStatus(QStringLiteral("polling stopped while the %1 is open").arg(window));
}

// A table or a sequence may have switched the output: the pair shows what the instrument says.
void TForm1::Start1Click()
{
    StopPollingFor(QStringLiteral("test window"));
    Windows.Test.ShowModal(this);
    ShowLinkStatus(QStringLiteral("not connected"));
    ReadOutputState();
}

void TForm1::able1Click()
{
    StopPollingFor(QStringLiteral("sequence window"));
    Windows.Sequence.ShowModal(this);
    ShowLinkStatus(QStringLiteral("not connected"));
    ReadOutputState();
}

void TForm1::IO1Click()
{
    StopReturnWatch(); // the operator picks the port now
    StopPollingFor(QStringLiteral("I/O configuration"));
    Windows.IoConfig.ShowModal(this);
    ShowLinkStatus(QStringLiteral("not connected"));
}

void TForm1::Device1Click() { Windows.DeviceInfo.ShowModal(this); }

void TForm1::About1Click() { Windows.About.ShowModal(this); }

void TForm1::Image1Click() { Tool.ShowTool(); }

// ---- poll cycle ----

void TForm1::Timer1Timer()
{
    // A reply that arrived before this tick answers the slot sent in the previous one.
    L.DeliverWaitingLines();
    try {
        m_cycle.Tick();
    } catch (const ECiaComPort& e) {
        // A port that cannot take the poll line would fail every 60 ms: stop and say it once.
        Disconnect();
        ShowOperatorError(this, e.Message());
    }
}

void TForm1::SendPollSlot(int slot)
{
    const QByteArray& line = m_cycle.PollTable[static_cast<size_t>(slot)];
    if (L.SerialLink) {
        L.ComPort(1).WriteText(line);
        return;
    }
    // GPIB: the query is answered at once; the mailbox and empty slots make no exchange.
    if (slot <= m_cycle.MeasEnd || slot >= PollCycle::kIdentSlot)
        L.Gpib.GpibPollTransaction(QString::fromLatin1(line),
                                   [this](const QString& reply) { ParseReply(reply); });
}

void TForm1::ReadOutputState()
{
    constexpr int kOutputStateSlot = 39;
    if (m_timer1->isActive() || (L.SerialLink && !L.ComPort(1).Active()))
        return;
    // Lines that came after the window's last row answer nothing; the next one is the state.
    L.DeliverWaitingLines();
    m_cycle.ReplySlot = kOutputStateSlot;
    m_outputStateAsked = true;
    try {
        if (L.SerialLink) {
            L.ComPort(1).WriteText(m_cycle.PollTable[kOutputStateSlot]);
            return; // the reply comes through the port's hand-over
        }
        L.Gpib.GpibPreparation(L.Settings.GpibAddress, L.Settings.IoType);
        SendPollSlot(kOutputStateSlot); // answered inside, or not at all
        L.Gpib.GpibRelease();
        m_outputStateAsked = false;
        m_cycle.ReplySlot = 0;
    } catch (const ECiaComPort& e) {
        // Connect reads it again; the port's trouble shows there.
        m_cycle.ReplySlot = 0;
        m_outputStateAsked = false;
        Tool.AppendLog(QStringLiteral("> ") + e.Message());
    }
}

void TForm1::SendMailbox(const QByteArray& command)
{
    if (L.SerialLink)
        L.ComPort(1).WriteText(command);
    else
        L.Gpib.GpibMailboxSend(QString::fromLatin1(command));
}

void TForm1::StatusMissing() { Disconnect(); }

// ---- operator commands ----

void TForm1::PostOperatorCommand(const QByteArray& command)
{
    m_cycle.OperatorCommand.Post(command);
}

void TForm1::SetValueEnter(const QString& fieldName)
{
    int count = 0;
    const SetValueField* fields = SetValueFields(count);
    for (int i = 0; i < count; ++i) {
        if (fieldName != QLatin1String(fields[i].field))
            continue;
        QLineEdit* edit = Field(fields[i].field);
        if (fields[i].checked && CheckSetValueText(edit->text()) != edit->text())
            edit->setText(QString());
        PostOperatorCommand(SetValueCommand(fields[i], edit->text()));
        return;
    }
}

// The visible button of a state pair names the present state; its click asks for the opposite.
// The re-read state after the command swaps the pair.
void TForm1::OutputOnClick() { PostOperatorCommand(kOutputOffLine); }
void TForm1::OutputOffClick() { PostOperatorCommand(kOutputOnLine); }
void TForm1::AuxOnClick() { PostOperatorCommand(kAuxOffLine); }
void TForm1::AuxOffClick() { PostOperatorCommand(kAuxOnLine); }
void TForm1::PhaseOnClick() { PostOperatorCommand(kPhasesOffLine); }
void TForm1::PhaseOffClick() { PostOperatorCommand(kPhasesOnLine); }
void TForm1::IpClearClick() { PostOperatorCommand(kPeakCurrentClearLine); }

// The action pairs name what their click does, and swap at once.
void TForm1::IrmsX10Click()
{
    PostOperatorCommand(kCurrentRangeX10Line);
    ShowPair(m_irmsX1, m_irmsX10, true);
}

void TForm1::IrmsX1Click()
{
    PostOperatorCommand(kCurrentRangeX1Line);
    ShowPair(m_irmsX10, m_irmsX1, true);
}

void TForm1::Ot1OffClick()
{
    PostOperatorCommand(kOt1OffLine);
    ShowPair(m_ot1On, m_ot1Off, true);
}

void TForm1::Ot1OnClick()
{
    PostOperatorCommand(kOt1OnLine);
    ShowPair(m_ot1Off, m_ot1On, true);
}

void TForm1::IpAutoOffClick()
{
    ShowPair(m_ipAutoOn, m_ipAutoOff, true);
    m_timer3->start();
}

void TForm1::IpAutoOnClick()
{
    ShowPair(m_ipAutoOff, m_ipAutoOn, true);
    m_timer3->stop();
}

// The timer mailbox holds one command and is emptied at slot 28: once per pass at most.
void TForm1::Timer3Timer() { m_cycle.TimerCommand.Post(kPeakCurrentClearLine); }

void TForm1::WriteStateCommand(const QByteArray& line)
{
    // Only while the poll cycle is stopped (the buttons are disabled while connected).
    if (L.SerialLink)
        L.ComPort(1).WriteText(line);
    else
        L.Gpib.GpibDirectWrite(L.Settings.GpibAddress, L.Settings.IoType,
                               QString::fromLatin1(line));
}

void TForm1::RclStateClick() { WriteStateCommand(RecallStateCommand(m_edit3->text())); }
void TForm1::SavStateClick() { WriteStateCommand(SaveStateCommand(m_edit3->text())); }
void TForm1::RclState0Click() { WriteStateCommand(RecallStateCommand(QStringLiteral("0"))); }
