#include "panel/main_window.h"

#include "common/number_reading.h"
#include "common/program_directory.h"
#include "link/port_discovery.h"
#include "panel/identification.h"
#include "panel/logo.h"
#include "panel/operator_commands.h"
#include "panel/operator_messages.h"
#include "panel/reply_parser.h"
#include "panel/window_timer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

namespace {

const char* const kConfigFileName = "TAVCON.cfg";

// Colours and sizes of the value fields.
struct FieldStyle {
    const char* sheet;
    int pixelSize;
};
const FieldStyle kMeasuredStyle{
    "QLineEdit { background: #404040; color: lime; border: 1px solid #202020; }"
    "QLineEdit:disabled { color: #5a7a5a; background: #4a4a4a; }",
    24};
const FieldStyle kSetStyle{
    "QLineEdit { background: #404040; color: red; border: 1px solid #202020; }"
    "QLineEdit:disabled { color: #8a5a5a; background: #4a4a4a; }",
    24};
const FieldStyle kPerPhaseStyle{kSetStyle.sheet, 16};

const char* const kMeasureRows[] = {"U:", "I:", "P:", "P:", "IP:", "PF:", "CF:"};
const char* const kPhaseFields[3][7] = {
    {"Edit1", "Edit2", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9"},
    {"Edit24", "Edit25", "Edit26", "Edit27", "Edit28", "Edit29", "Edit30"},
    {"Edit31", "Edit32", "Edit33", "Edit34", "Edit35", "Edit36", "Edit37"}};
const char* const kCommonCaptions[] = {"AC:", "DC:", "Irms:", "F:", "\u00F8:", "PMax:", "IMax:", ""};
const char* const kCommonFields[] = {"Edit14", "Edit18", "Edit15", "Edit17",
                                     "Edit22", "Edit16", "Edit21", "Edit23"};
const char* const kPerPhaseCaptions[] = {"UAC", "UDC", "IAC", "F", "\u00F8"};
const int kPerPhaseFirstEdit[] = {38, 41, 44, 47, 50};

QLabel* Caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* ValueField(const QString& name, const FieldStyle& style, QWidget* parent)
{
    auto* edit = new QLineEdit(QStringLiteral("0.000"), parent);
    edit->setObjectName(name);
    edit->setStyleSheet(QString::fromLatin1(style.sheet));
    QFont font = edit->font();
    font.setPixelSize(style.pixelSize);
    edit->setFont(font);
    // Room for the eight characters a reply shows (and a unit or degree sign), whatever the font.
    const QFontMetrics fm(font);
    edit->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("0000.000W")) + 12);
    return edit;
}

// Two buttons that share one place; one of them is visible at a time.
QWidget* PairPlace(QPushButton* a, QPushButton* b, QWidget* parent)
{
    auto* place = new QWidget(parent);
    auto* grid = new QGridLayout(place);
    grid->setContentsMargins(0, 0, 0, 0);
    a->setParent(place);
    b->setParent(place);
    grid->addWidget(a, 0, 0);
    grid->addWidget(b, 0, 0);
    return place;
}

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setMinimumHeight(30);
    QSizePolicy p = b->sizePolicy();
    p.setRetainSizeWhenHidden(true); // a pair keeps its place while one of the two is hidden
    b->setSizePolicy(p);
    return b;
}

} // namespace

TForm1::TForm1(ProgramState& state, ServiceToolSink& tool, PanelWindows& windows, QWidget* parent)
    : QMainWindow(parent), S(state), Tool(tool), Windows(windows), m_cycle(*this)
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("TAV-Control"));
    BuildWindow();
    resize(851, 763);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

TForm1::~TForm1()
{
    // The ports outlive the window; their handlers must not.
    for (int n = 1; n <= ProgramState::kPortCount; ++n) {
        S.ComPort(n).SetOnDataAvailable(nullptr);
        S.ComPort(n).SetOnDeviceLost(nullptr);
    }
    S.Gpib.SetDeviceName(m_deviceName->text());
}

QLineEdit* TForm1::Field(const char* name) const
{
    return findChild<QLineEdit*>(QString::fromLatin1(name));
}

// ---- building the window ----

void TForm1::BuildWindow()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* root = new QVBoxLayout(central);

    // Header: logo, maker, model of the connected instrument.
    auto* header = new QHBoxLayout;
    auto* image1 = new ClickableLogo(central);
    image1->setObjectName(QStringLiteral("Image1"));
    connect(image1, &ClickableLogo::clicked, this, [this] { Image1Click(); });
    auto* label2 = new QLabel(QStringLiteral("KELM Electronic GmbH"), central);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setStyleSheet(QStringLiteral("color: blue; font-size: 20px; font-weight: bold;"));
    m_label15 = new QLabel(QStringLiteral("---"), central);
    m_label15->setObjectName(QStringLiteral("Label15"));
    m_label15->setStyleSheet(QStringLiteral("color: green; font-size: 20px; font-weight: bold;"));
    header->addWidget(image1);
    header->addSpacing(12);
    header->addWidget(label2);
    header->addStretch();
    header->addWidget(m_label15);
    root->addLayout(header);

    auto* body = new QHBoxLayout;
    root->addLayout(body);

    // Measure: seven rows per phase and the two indicators.
    auto* measure = new QGridLayout;
    auto* measureTitle = new QLabel(QStringLiteral("Measure:"), central);
    measureTitle->setStyleSheet(QStringLiteral("font-weight: bold;"));
    measure->addWidget(measureTitle, 0, 0, 1, 4);
    for (int phase = 0; phase < 3; ++phase) {
        measure->addWidget(new QLabel(QStringLiteral("Phase %1:").arg(phase + 1), central), 1,
                           phase + 1);
        for (int row = 0; row < 7; ++row) {
            if (phase == 0)
                measure->addWidget(Caption(QString::fromLatin1(kMeasureRows[row]), central),
                                   row + 2, 0);
            measure->addWidget(ValueField(QString::fromLatin1(kPhaseFields[phase][row]),
                                          kMeasuredStyle, central),
                               row + 2, phase + 1);
        }
        auto indicator = [&](const QString& name, const QString& caption, int row) {
            auto* b = Button(name, caption, central);
            b->setFocusPolicy(Qt::NoFocus);
            b->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
            measure->addWidget(b, row, phase + 1);
            return b;
        };
        m_ccIndicators[phase] = indicator(QStringLiteral("BitBtn%1").arg(11 + phase),
                                          QStringLiteral("C.C."), 9);
        m_olIndicators[phase] = indicator(QStringLiteral("BitBtn%1").arg(14 + phase),
                                          QStringLiteral("O.L."), 10);
    }
    body->addLayout(measure);
    body->addSpacing(16);

    // Setting: the common set values and, beside them, the per-phase ones.
    auto* setting = new QGridLayout;
    auto* settingTitle = new QLabel(QStringLiteral("Setting:"), central);
    settingTitle->setStyleSheet(QStringLiteral("font-weight: bold;"));
    setting->addWidget(settingTitle, 0, 0, 1, 2);
    m_label1 = new QLabel(QStringLiteral("Phase 1:"), central);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label28 = new QLabel(QStringLiteral("Phase 1,2,3:"), central);
    m_label28->setObjectName(QStringLiteral("Label28"));
    setting->addWidget(m_label1, 1, 1);
    setting->addWidget(m_label28, 1, 1);
    for (int row = 0; row < 8; ++row) {
        setting->addWidget(Caption(QString::fromUtf8(kCommonCaptions[row]), central), row + 2, 0);
        setting->addWidget(
            ValueField(QString::fromLatin1(kCommonFields[row]), kSetStyle, central), row + 2,
            1);
    }
    setting->setRowStretch(10, 1);
    body->addLayout(setting);
    body->addSpacing(8);

    auto* perPhase = new QGridLayout;
    perPhase->setVerticalSpacing(2);
    for (int group = 0; group < 5; ++group)
        for (int phase = 1; phase <= 3; ++phase) {
            const int row = group * 3 + phase - 1;
            perPhase->addWidget(Caption(QString::fromUtf8(kPerPhaseCaptions[group]) +
                                            QStringLiteral(" %1:").arg(phase),
                                        central),
                                row, 0);
            perPhase->addWidget(
                ValueField(QStringLiteral("Edit%1").arg(kPerPhaseFirstEdit[group] + phase - 1),
                           kPerPhaseStyle, central),
                row, 1);
        }
    perPhase->setRowStretch(15, 1);
    body->addLayout(perPhase);
    body->addStretch();
    root->addStretch();

    // Buttons: two rows, each pair in one place.
    auto* ipClear = Button(QStringLiteral("IpClearButton"), QStringLiteral("IP-Clear"), central);
    m_ipAutoOff = Button(QStringLiteral("IpAutoOffButton"), QStringLiteral("IP-Auto OFF"), central);
    m_ipAutoOn = Button(QStringLiteral("IpAutoOnButton"), QStringLiteral("IP-Auto ON "), central);
    m_irmsX10 = Button(QStringLiteral("IrmsX10Button"), QStringLiteral("Irms x10"), central);
    m_irmsX1 = Button(QStringLiteral("IrmsX1Button"), QStringLiteral("Irms x1"), central);
    m_auxOn = Button(QStringLiteral("AuxOnButton"), QStringLiteral("AUX ON  "), central);
    m_auxOff = Button(QStringLiteral("AuxOffButton"), QStringLiteral("AUX OFF   "), central);
    m_phaseOn = Button(QStringLiteral("PhaseOnButton"), QStringLiteral("Phase ON"), central);
    m_phaseOff = Button(QStringLiteral("PhaseOffButton"), QStringLiteral("Phase OFF"), central);
    m_outputOn = Button(QStringLiteral("OutputOnButton"), QStringLiteral("Output  ON"), central);
    m_outputOff = Button(QStringLiteral("OutputOffButton"), QStringLiteral("Output OFF"), central);
    m_connect = Button(QStringLiteral("BitBtn7"), QStringLiteral("Connect"), central);
    m_connect->setStyleSheet(QStringLiteral("color: green; font-weight: bold;"));
    m_disconnect = Button(QStringLiteral("BitBtn8"), QStringLiteral("Disconnect"), central);
    m_disconnect->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    m_rclState = Button(QStringLiteral("RclStateButton"), QStringLiteral("RCL State"), central);
    m_savState = Button(QStringLiteral("SavStateButton"), QStringLiteral("SAV State"), central);
    m_rclState0 =
        Button(QStringLiteral("RclState0Button"), QStringLiteral("RCL State 0"), central);
    m_ot1Off = Button(QStringLiteral("Ot1OffButton"), QStringLiteral("OT1 Off"), central);
    m_ot1On = Button(QStringLiteral("Ot1OnButton"), QStringLiteral("OT1 ON"), central);
    auto* quit = Button(QStringLiteral("Button20"), QStringLiteral("QUIT"), central);
    m_edit3 = new QLineEdit(QStringLiteral("0"), central);
    m_edit3->setObjectName(QStringLiteral("Edit3"));
    m_edit3->setMaximumWidth(50);

    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(8);
    const std::initializer_list<QWidget*> firstRow = {
        ipClear,
        PairPlace(m_ipAutoOff, m_ipAutoOn, central),
        PairPlace(m_irmsX10, m_irmsX1, central),
        PairPlace(m_auxOn, m_auxOff, central),
        PairPlace(m_phaseOn, m_phaseOff, central),
        PairPlace(m_outputOn, m_outputOff, central),
        PairPlace(m_connect, m_disconnect, central)};
    int col = 0;
    for (QWidget* w : firstRow)
        buttons->addWidget(w, 0, col++);
    auto* stateNr = new QLabel(QStringLiteral("State Nr.:"), central);
    stateNr->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* statePlace = new QHBoxLayout;
    statePlace->addWidget(stateNr);
    statePlace->addWidget(m_edit3);
    buttons->addLayout(statePlace, 1, 0);
    col = 1;
    for (QWidget* w : {static_cast<QWidget*>(m_rclState), static_cast<QWidget*>(m_savState),
                       static_cast<QWidget*>(m_rclState0), PairPlace(m_ot1Off, m_ot1On, central)})
        buttons->addWidget(w, 1, col++);
    buttons->addWidget(quit, 1, 6);
    for (int c = 0; c < 7; ++c)
        buttons->setColumnStretch(c, 1);
    root->addLayout(buttons);

    // Never visible: the GPIB device name used by a lookup by name.
    m_deviceName = new QLineEdit(QStringLiteral("TAV-PS"), central);
    m_deviceName->setObjectName(QStringLiteral("DeviceName"));
    m_deviceName->setVisible(false);
    S.Gpib.SetDeviceNameSource([this] { return m_deviceName->text(); });

    OnOperatorEvent(this, m_connect, &QPushButton::clicked, [this] { BitBtn7Click(); });
    OnOperatorEvent(this, m_disconnect, &QPushButton::clicked, [this] { BitBtn8Click(); });
    OnOperatorEvent(this, quit, &QPushButton::clicked, [this] { Button20Click(); });

    // Menu bar.
    auto addEntry = [this](QMenu* menu, const QString& name, const QString& text,
                           void (TForm1::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        OnOperatorEvent(this, action, &QAction::triggered, [this, handler] { (this->*handler)(); });
    };
    QMenu* test = menuBar()->addMenu(QStringLiteral("Test"));
    addEntry(test, QStringLiteral("Start1"), QStringLiteral("Start"), &TForm1::Start1Click);
    QMenu* sequence = menuBar()->addMenu(QStringLiteral("Sequenz"));
    addEntry(sequence, QStringLiteral("able1"), QStringLiteral("Table"), &TForm1::able1Click);
    QMenu* setup = menuBar()->addMenu(QStringLiteral("Setup"));
    addEntry(setup, QStringLiteral("IO1"), QStringLiteral("I/O Config"), &TForm1::IO1Click);
    QMenu* info = menuBar()->addMenu(QStringLiteral("Info"));
    addEntry(info, QStringLiteral("Device1"), QStringLiteral("Device"), &TForm1::Device1Click);
    addEntry(info, QStringLiteral("About1"), QStringLiteral("About"), &TForm1::About1Click);

    m_timer1 = MakeWindowTimer(this, QStringLiteral("Timer1"), 60, [this] { Timer1Timer(); },
                               Qt::PreciseTimer);
    m_timer3 = MakeWindowTimer(this, QStringLiteral("Timer3"), 200, [this] { Timer3Timer(); });
    OnOperatorEvent(this, ipClear, &QPushButton::clicked, [this] { IpClearClick(); });
    WireOperatorControls();
    for (int slot = 0; slot <= 100; ++slot)
        if (const char* name = FieldForSlot(slot))
            m_slotFields[static_cast<size_t>(slot)] = Field(name);
}

void TForm1::WireOperatorControls()
{
    int count = 0;
    const SetValueField* fields = SetValueFields(count);
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromLatin1(fields[i].field);
        OnOperatorEvent(this, Field(fields[i].field), &QLineEdit::returnPressed,
                        [this, name] { SetValueEnter(name); });
    }
    const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
        {m_outputOn, &TForm1::OutputOnClick}, {m_outputOff, &TForm1::OutputOffClick},
        {m_auxOn, &TForm1::AuxOnClick},       {m_auxOff, &TForm1::AuxOffClick},
        {m_phaseOn, &TForm1::PhaseOnClick},   {m_phaseOff, &TForm1::PhaseOffClick},
        {m_ipAutoOff, &TForm1::IpAutoOffClick}, {m_ipAutoOn, &TForm1::IpAutoOnClick},
        {m_irmsX10, &TForm1::IrmsX10Click},   {m_irmsX1, &TForm1::IrmsX1Click},
        {m_ot1Off, &TForm1::Ot1OffClick},     {m_ot1On, &TForm1::Ot1OnClick},
        {m_rclState, &TForm1::RclStateClick}, {m_savState, &TForm1::SavStateClick},
        {m_rclState0, &TForm1::RclState0Click}};
    for (const auto& [button, handler] : buttons)
        OnOperatorEvent(this, button, &QPushButton::clicked,
                        [this, handler = handler] { (this->*handler)(); });
}

// ---- creation ----

void TForm1::FormCreate()
{
    // The service tool exists already: the reply handling writes into it from the start.
    S.Link.IoType = 0;
    m_cycle.TimerCommand.Clear();
    m_cycle.OperatorCommand.Clear();
    m_cycle.CycleBase = 0;
    m_cycle.MeasEnd = 23;
    m_cycle.SetEnd = 58;
    m_cycle.StatusPending = false;

    ResetDisplay();
    SinglePhaseLayout();

    S.ProgramDirectory = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    S.WritableDirectory = WritableProgramDirectory(S.ProgramDirectory, QDir::currentPath());
    S.StartDate = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);

    S.Link.GpibDeviceName = QStringLiteral("Device 1");
    S.Link.PortText = QStringLiteral("2");
    m_configWarning =
        ReadLinkConfig(QDir::current().absoluteFilePath(QLatin1String(kConfigFileName)), S.Link)
            .warning;
    S.SerialLink = S.Link.SerialLink();
    m_deviceName->setText(S.Link.GpibDeviceName);
    S.DeviceIdent.Identification = QStringLiteral("Disconnected");

    m_connect->show();
    m_disconnect->hide();
    m_ipAutoOn->hide();
    m_ipAutoOff->show();
    m_irmsX10->hide();
    m_irmsX1->hide();
    m_ot1Off->hide();
    m_ot1On->hide();

    for (int n = 1; n <= ProgramState::kPortCount; ++n) {
        TCiaComPort& port = S.ComPort(n);
        port.SetPort(n == 1 ? ReadInteger(S.Link.PortText) : 3);
        port.SetBaudrate(19200);
        port.SetLineEnd("\r\n");
        port.SetLineMode(true);
        if (n <= 6)
            port.SetOnDataAvailable([this](TCiaComPort* p) { CiaComPortDataAvailable(p); });
        port.SetOnDeviceLost([this](TCiaComPort* p, int error) { PortLost(p, error); });
    }
    S.LinkOpened = FindSerialPorts(S.Link, S.ComPort(1), S.DiscoveredPorts,
                                   [this](const QString& line) { ParseReply(line); }) ||
                   S.LinkOpened;

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
    if (!S.SerialLink) {
        S.Gpib.GpibPreparation(S.Link.GpibAddress, S.Link.IoType);
        S.LinkOpened = true;
    }
    if (S.LinkOpened) {
        m_cycle.StartAtConnect();
        m_timer1->start();
    }
    m_lostReported = false;
    m_connect->hide();
    m_disconnect->show();
    for (QWidget* w : {static_cast<QWidget*>(m_rclState), static_cast<QWidget*>(m_savState),
                       static_cast<QWidget*>(m_rclState0), static_cast<QWidget*>(m_edit3)})
        w->setEnabled(false);
}

void TForm1::Disconnect()
{
    m_timer1->stop();
    if (!S.SerialLink)
        S.Gpib.GpibRelease();
    DeviceIdentType& id = S.DeviceIdent;
    id.Identification = QStringLiteral("Disconnected");
    id.Manufacturer = id.Model = id.SerialNumber = id.Revision = id.Options = QStringLiteral("---");
    m_label15->setText(id.Model);
    Tool.SetFieldText(QStringLiteral("Label21"), id.Manufacturer);
    Tool.SetFieldText(QStringLiteral("Label22"), id.Model);
    Tool.SetFieldText(QStringLiteral("Label23"), id.SerialNumber);
    Tool.SetFieldText(QStringLiteral("Label24"), id.Revision);
    m_connect->show();
    m_disconnect->hide();
    for (QWidget* w : {static_cast<QWidget*>(m_rclState), static_cast<QWidget*>(m_savState),
                       static_cast<QWidget*>(m_rclState0), static_cast<QWidget*>(m_edit3)})
        w->setEnabled(true);
}

void TForm1::BitBtn8Click() { Disconnect(); }

void TForm1::StopPollingForPortChange()
{
    m_timer1->stop();
    S.DeviceIdent.Identification = QStringLiteral("Disconnected");
    m_connect->show();
    m_disconnect->hide();
}

void TForm1::SetDeviceName(const QString& name) { m_deviceName->setText(name); }

void TForm1::Button20Click()
{
    m_timer1->stop();
    if (!S.SerialLink)
        S.Gpib.GpibRelease();
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    m_timer1->stop();
    S.ComPort(1).SetActive(false);
    S.ComPort(2).SetActive(false);
    QString error;
    if (!WriteLinkConfig(QDir::current().absoluteFilePath(QLatin1String(kConfigFileName)), S.Link,
                         &error))
        ShowOperatorError(this, QStringLiteral("Cannot write %1: %2")
                                    .arg(QLatin1String(kConfigFileName), error));
    event->accept();
}

// ---- menu ----

void TForm1::Start1Click()
{
    Disconnect();
    Windows.Test.ShowModal(this);
}

void TForm1::able1Click()
{
    Disconnect();
    Windows.Sequence.ShowModal(this);
}

void TForm1::IO1Click()
{
    Disconnect();
    Windows.IoConfig.ShowModal(this);
}

void TForm1::Device1Click() { Windows.DeviceInfo.ShowModal(this); }

void TForm1::About1Click() { Windows.About.ShowModal(this); }

void TForm1::Image1Click() { Tool.ShowTool(); }

// ---- poll cycle ----

void TForm1::Timer1Timer()
{
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
    if (S.SerialLink) {
        S.ComPort(1).WriteText(line);
        return;
    }
    // GPIB: the query is answered at once; the mailbox and empty slots make no exchange.
    if (slot <= m_cycle.MeasEnd || slot >= PollCycle::kIdentSlot)
        S.Gpib.GpibPollTransaction(QString::fromLatin1(line),
                                   [this](const QString& reply) { ParseReply(reply); });
}

void TForm1::SendMailbox(const QByteArray& command)
{
    if (S.SerialLink)
        S.ComPort(1).WriteText(command);
    else
        S.Gpib.GpibMailboxSend(QString::fromLatin1(command));
}

void TForm1::StatusMissing() { Disconnect(); }

void TForm1::CiaComPortDataAvailable(TCiaComPort* port)
{
    const QByteArray line = port->ReadText();
    ParseReply(QString::fromLatin1(line));
    if (S.TestWindow) {
        S.ReplyLine = line;
        S.TestWindow->EvaluateReply();
    }
}

void TForm1::PortLost(TCiaComPort* port, int error)
{
    const bool polling = port == &S.ComPort(1) && m_timer1->isActive();
    if (polling)
        Disconnect();
    Tool.AppendLog(QStringLiteral("> %1: %2").arg(port->DeviceName(),
                                                  QString::fromLocal8Bit(strerror(error))));
    if (m_lostReported)
        return;
    m_lostReported = true;
    ShowOperatorError(this, QStringLiteral("The connection on %1 was lost (%2).%3")
                                .arg(port->DeviceName(), QString::fromLocal8Bit(strerror(error)),
                                     polling ? QStringLiteral(" Polling has stopped.")
                                             : QString()));
}

// ---- reply handling ----

void TForm1::ShowPair(QPushButton* on, QPushButton* off, bool showOn)
{
    on->setVisible(showOn);
    off->setVisible(!showOn);
}

void TForm1::ParseReply(const QString& text)
{
    const QString reply = TrimReply(text);
    if (!reply.isEmpty())
        Tool.AppendLog(QStringLiteral("> ") + reply);
    const int slot = m_cycle.ReplySlot;
    switch (ActionForSlot(slot)) {
    case ReplyAction::Status: {
        Tool.SetFieldText(QStringLiteral("Edit53"), reply.left(8));
        const int word = LeadingDigitsValue(Tool.FieldText(QStringLiteral("Edit53")));
        for (int phase = 1; phase <= 3; ++phase) {
            m_ccIndicators[phase - 1]->setVisible(ConstantCurrentOn(word, phase));
            m_olIndicators[phase - 1]->setVisible(OverloadOn(word, phase));
        }
        m_cycle.StatusPending = false;
        break;
    }
    case ReplyAction::Value:
        if (QLineEdit* f = SlotField(slot)) {
            f->clear();
            f->setText(ValueText(reply));
            f->setCursorPosition(0);
        }
        break;
    case ReplyAction::Angle:
        if (QLineEdit* f = SlotField(slot)) {
            f->setText(AngleText(reply));
            f->setCursorPosition(0);
        }
        break;
    case ReplyAction::OutputState:
        ShowPair(m_outputOn, m_outputOff, ReplyMeansOn(reply));
        break;
    case ReplyAction::PhaseState:
        ShowPair(m_phaseOn, m_phaseOff, ReplyMeansOn(reply));
        break;
    case ReplyAction::AuxState:
        ShowPair(m_auxOn, m_auxOff, ReplyMeansOn(reply));
        break;
    case ReplyAction::Identification:
        IdentificationReply(reply);
        break;
    case ReplyAction::Options:
        OptionsReply(reply);
        break;
    case ReplyAction::None:
        break;
    }
    if (slot == 8) {
        const StopwatchValues& w = S.Stopwatch;
        auto count = [](qint64 v) { return QString::number(v).left(15); };
        Tool.SetFieldText(QStringLiteral("Edit10"), count(w.StartMark));
        Tool.SetFieldText(QStringLiteral("Edit11"), count(w.EndMark));
        Tool.SetFieldText(QStringLiteral("Edit12"), count(w.EndMark - w.StartMark));
        Tool.SetFieldText(QStringLiteral("Edit13"), QString::number(w.ElapsedTime, 'f', 3));
    }
}

// ---- display ----

void TForm1::ResetDisplay()
{
    for (int slot = 2; slot <= 58; ++slot)
        if (QLineEdit* f = SlotField(slot))
            f->setText(QStringLiteral("0.000"));
    for (int i = 0; i < 3; ++i) {
        m_ccIndicators[i]->hide();
        m_olIndicators[i]->hide();
    }
    m_label1->show();
    m_label28->hide();
}

void TForm1::SinglePhaseLayout()
{
    m_cycle.SinglePhase();
    m_label1->show();
    m_label28->hide();
    for (int slot = 10; slot <= 23; ++slot)
        SlotField(slot)->setEnabled(false);
    for (int slot = 44; slot <= 58; ++slot)
        SlotField(slot)->setEnabled(false);
}

void TForm1::ThreePhaseLayout()
{
    m_cycle.ThreePhase();
    m_label1->hide();
    m_label28->show();
    for (int slot = 10; slot <= 23; ++slot)
        SlotField(slot)->setEnabled(true);
    for (int slot = 44; slot <= 58; ++slot)
        SlotField(slot)->setEnabled(true);
}

// ---- identification ----

void TForm1::IdentificationReply(const QString& reply)
{
    const IdentificationReading r = ReadIdentification(reply);
    DeviceIdentType& id = S.DeviceIdent;
    id.Identification = reply;
    for (int i = 0; i < 4; ++i)
        Tool.SetFieldText(QStringLiteral("Label%1").arg(17 + i),
                          QString::number(r.CommaPositions[static_cast<size_t>(i)]));
    id.Manufacturer = r.Manufacturer;
    id.Model = r.Model;
    id.SerialNumber = r.SerialNumber;
    id.Revision = r.Revision;
    Tool.SetFieldText(QStringLiteral("Label21"), id.Manufacturer);
    Tool.SetFieldText(QStringLiteral("Label22"), id.Model);
    Tool.SetFieldText(QStringLiteral("Label23"), id.SerialNumber);
    Tool.SetFieldText(QStringLiteral("Label24"), id.Revision);
    m_label15->setText(id.Model);
    // With CycleBase 1 the status query is no longer polled, nor watched.
    m_cycle.CycleBase = r.CycleBase;
    Tool.SetFieldText(QStringLiteral("Edit1"), r.RevisionMarkerText);
    Tool.SetFieldText(QStringLiteral("Edit2"), QString::number(r.CycleBase).rightJustified(4));
}

void TForm1::OptionsReply(const QString& reply)
{
    const OptionsReading r = ReadOptions(reply);
    S.DeviceIdent.Options = reply;
    Tool.SetFieldText(QStringLiteral("Edit57"), r.ThreePhaseText);
    if (r.ThreePhase)
        ThreePhaseLayout();
    else
        SinglePhaseLayout();
    // An option not reported leaves its buttons as they are.
    if (r.CurrentRangeOption)
        ShowPair(m_irmsX10, m_irmsX1, true);
    if (r.Ot1Option)
        ShowPair(m_ot1Off, m_ot1On, true);
    Tool.SetFieldText(QStringLiteral("Edit2"), r.OptionText);
}

// ---- operator commands ----

void TForm1::PostOperatorCommand(const QByteArray& command) { m_cycle.OperatorCommand.Post(command); }

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
void TForm1::OutputOnClick() { PostOperatorCommand("OUTP,0\n"); }
void TForm1::OutputOffClick() { PostOperatorCommand("OUTP,1\n"); }
void TForm1::AuxOnClick() { PostOperatorCommand("OUTP:AUX,0\n"); }
void TForm1::AuxOffClick() { PostOperatorCommand("OUTP:AUX,1\n"); }
void TForm1::PhaseOnClick() { PostOperatorCommand("OUTP:PHASON,0\n"); }
void TForm1::PhaseOffClick() { PostOperatorCommand("OUTP:PHASON,1\n"); }
void TForm1::IpClearClick() { PostOperatorCommand("SOUR:CURRCLR\n"); }

// The action pairs name what their click does, and swap at once.
void TForm1::IrmsX10Click()
{
    PostOperatorCommand("SOUR:CURRRNG,1\n");
    ShowPair(m_irmsX1, m_irmsX10, true);
}

void TForm1::IrmsX1Click()
{
    PostOperatorCommand("SOUR:CURRRNG,0\n");
    ShowPair(m_irmsX10, m_irmsX1, true);
}

void TForm1::Ot1OffClick()
{
    PostOperatorCommand("OUTP:OT1,0\n");
    ShowPair(m_ot1On, m_ot1Off, true);
}

void TForm1::Ot1OnClick()
{
    PostOperatorCommand("OUTP:OT1,1\n");
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
void TForm1::Timer3Timer() { m_cycle.TimerCommand.Post("SOUR:CURRCLR\n"); }

void TForm1::WriteStateCommand(const QByteArray& line)
{
    // Only while the poll cycle is stopped (the buttons are disabled while connected).
    if (S.SerialLink)
        S.ComPort(1).WriteText(line);
    else
        S.Gpib.GpibDirectWrite(S.Link.GpibAddress, S.Link.IoType, QString::fromLatin1(line));
}

void TForm1::RclStateClick() { WriteStateCommand("*RCL," + m_edit3->text().toLatin1() + "\n"); }
void TForm1::SavStateClick() { WriteStateCommand("*SAV," + m_edit3->text().toLatin1() + "\n"); }
void TForm1::RclState0Click() { WriteStateCommand("*RCL,0\n"); }
