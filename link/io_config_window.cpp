#include "link/io_config_window.h"

#include "common/number_reading.h"
#include "common/strict_integer.h"
#include "link/link_state.h"
#include "widgets/operator_messages.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <stdexcept>

namespace {

QComboBox* FixedSetting(const QString& name, const QString& text, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItem(text);
    box->setEnabled(false);
    return box;
}

// Port numbers in the list are "COM" followed by the number; any number of digits is taken.
// Anything else, or a number outside 1 to 256, is no port: an empty text.
QString PortNumberOf(const QString& picked)
{
    static const QRegularExpression number(QStringLiteral("^COM([1-9]\\d{0,2})$"));
    const QRegularExpressionMatch m = number.match(picked);
    return m.hasMatch() && m.captured(1).toInt() <= 256 ? m.captured(1) : QString();
}

// The group boxes sit close together in the small window.
void TightenGroup(QLayout* layout)
{
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(2);
}

} // namespace

TForm4::TForm4(LinkState& link, IoConfigHost& host, QWidget* parent)
    : QDialog(parent), L(link), m_host(host)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("I/O Configuration"));
    BuildLayout();
    ShowSettings();
    WireControls();
    setFixedSize(370, 230);
    if (parent)
        move(parent->geometry().center() - rect().center());
}

// ---- building the window ----

// A fixed client area of 370 x 230: link type above the GPIB settings on the left, the serial
// settings on the right, the buttons below.
void TForm4::BuildLayout()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(4);
    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    top->addLayout(left);
    root->addLayout(top);
    left->addWidget(MakeTypeBox());
    top->addWidget(MakeSerialBox());
    left->addWidget(MakeGpibBox());
    root->addLayout(MakeButtons());
}

QGroupBox* TForm4::MakeTypeBox()
{
    auto* typeBox = new QGroupBox(QStringLiteral("IO Type"), this);
    typeBox->setObjectName(QStringLiteral("RadioGroup1"));
    auto* typeLayout = new QVBoxLayout(typeBox);
    TightenGroup(typeLayout);
    m_ioType = new QButtonGroup(this);
    const char* const types[] = {"Serial", "GPIB Device Name", "GPIB Address"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(types[i]), typeBox);
        radio->setObjectName(QStringLiteral("IoType%1").arg(i));
        m_ioType->addButton(radio, i);
        typeLayout->addWidget(radio);
    }
    return typeBox;
}

QGroupBox* TForm4::MakeSerialBox()
{
    auto* serialBox = new QGroupBox(QStringLiteral("Serial I/O"), this);
    auto* serial = new QGridLayout(serialBox);
    TightenGroup(serial);
    m_port = new QComboBox(serialBox);
    m_port->setObjectName(QStringLiteral("ComboBox1"));
    m_port->setEditable(true);
    GuardTypedText();
    const char* const captions[] = {"Port:", "Baud:", "Databits:", "Parity:", "Stopbits:"};
    QWidget* fields[] = {m_port, FixedSetting(QStringLiteral("BaudBox"), "19200", serialBox),
                         FixedSetting(QStringLiteral("DatabitsBox"), "8", serialBox),
                         FixedSetting(QStringLiteral("ParityBox"), "None", serialBox),
                         FixedSetting(QStringLiteral("StopbitsBox"), "1", serialBox)};
    for (int i = 0; i < 5; ++i) {
        serial->addWidget(new QLabel(QString::fromLatin1(captions[i]), serialBox), i, 0);
        serial->addWidget(fields[i], i, 1);
    }
    return serialBox;
}

QGroupBox* TForm4::MakeGpibBox()
{
    auto* gpibBox = new QGroupBox(QStringLiteral("GPIB"), this);
    auto* gpib = new QGridLayout(gpibBox);
    TightenGroup(gpib);
    m_address = new QLineEdit(gpibBox);
    m_address->setObjectName(QStringLiteral("Edit1"));
    m_deviceName = new QLineEdit(gpibBox);
    m_deviceName->setObjectName(QStringLiteral("Edit2"));
    gpib->addWidget(new QLabel(QStringLiteral("Address:"), gpibBox), 0, 0);
    gpib->addWidget(m_address, 0, 1);
    gpib->addWidget(new QLabel(QStringLiteral("Device Name:"), gpibBox), 1, 0);
    gpib->addWidget(m_deviceName, 1, 1);
    return gpibBox;
}

QLayout* TForm4::MakeButtons()
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OkButton"));
    m_ok->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("CloseButton"));
    m_close->setAutoDefault(false);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_close);
    return buttons;
}

// Filled from the settings as they are now.
void TForm4::ShowSettings()
{
    m_port->clear();
    for (const QString& n : L.DiscoveredPorts)
        m_port->addItem(QStringLiteral("COM") + n);
    ShowConfiguredPort();
    m_address->setText(QString::number(L.Settings.GpibAddress));
    m_deviceName->setText(L.Settings.GpibDeviceName);
    if (QAbstractButton* b = m_ioType->button(L.Settings.IoType)) {
        b->setChecked(true);
        ApplyEnabling(L.Settings.IoType);
    }
}

void TForm4::WireControls()
{
    connect(m_ioType, &QButtonGroup::idClicked, this,
            [this](int id) { RunOperatorEvent(this, [this, id] { RadioGroup1Click(id); }); });
    connect(m_port, &QComboBox::activated, this, [this](int index) {
        if (m_typing)
            return; // the combo box matched typed text to an item: that is no choice
        const QString picked = m_port->itemText(index);
        RunOperatorEvent(this, [this, picked] { ComboBox1Select(picked); });
    });
    OnOperatorEvent(this, m_address, &QLineEdit::returnPressed, [this] { AddressEnter(); });
    OnOperatorEvent(this, m_deviceName, &QLineEdit::returnPressed, [this] { DeviceNameEnter(); });
    OnOperatorEvent(this, m_ok, &QPushButton::clicked, [this] { OkClick(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm4::ApplyEnabling(int ioType)
{
    if (ioType < 0 || ioType > 2)
        return;
    m_port->setEnabled(ioType == 0);
    m_deviceName->setEnabled(ioType == 1);
    m_address->setEnabled(ioType == 2);
}

void TForm4::RadioGroup1Click(int ioType)
{
    L.Settings.IoType = ioType;
    ApplyEnabling(ioType);
    // Every later send goes over the chosen link, even if the window is left with "Close".
    L.SerialLink = ioType == 0;
}

void TForm4::GuardTypedText()
{
    // Our own edit, so that these connections come before and after the combo box's own: while
    // the combo box handles Enter or the end of an edit, m_typing is set.
    auto* edit = new QLineEdit(m_port);
    auto typingStarts = [this] { m_typing = true; };
    auto typingEnds = [this] {
        m_typing = false;
        ShowConfiguredPort();
    };
    connect(edit, &QLineEdit::returnPressed, this, typingStarts);
    connect(edit, &QLineEdit::editingFinished, this, typingStarts);
    m_port->setLineEdit(edit);
    connect(edit, &QLineEdit::returnPressed, this, typingEnds);
    connect(edit, &QLineEdit::editingFinished, this, typingEnds);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->setCompleter(nullptr);
}

void TForm4::ShowConfiguredPort()
{
    const int index = m_port->findText(QStringLiteral("COM") + L.Settings.PortText);
    m_port->setCurrentIndex(index);
    if (index < 0)
        m_port->setEditText(QStringLiteral("COM") + L.Settings.PortText);
}

void TForm4::ComboBox1Select(const QString& picked)
{
    const QString newPort = PortNumberOf(picked);
    if (newPort.isEmpty())
        return;
    const QString oldPort = L.Settings.PortText;
    L.Settings.PortText = newPort;
    m_host.StopPollingForPortChange();
    m_host.ParseReply(QStringLiteral("COM") + oldPort + QStringLiteral(": port closed"));
    TCiaComPort& port = L.ComPort(1);
    port.SetActive(false);
    port.SetPort(ReadInteger(L.Settings.PortText));
    port.SetActive(true); // an open error ends the pick here, the old port already closed
    m_host.ParseReply(QStringLiteral("COM") + L.Settings.PortText +
                      QStringLiteral(": port opened"));
}

int TForm4::AddressFromEdit() const { return ConvertInteger(m_address->text()); }

void TForm4::AddressEnter() { L.Settings.GpibAddress = AddressFromEdit(); }

void TForm4::DeviceNameEnter()
{
    L.Settings.GpibDeviceName = m_deviceName->text();
    m_host.SetDeviceName(m_deviceName->text());
}

void TForm4::OkClick()
{
    DeviceNameEnter();
    TCiaComPort& port = L.ComPort(1);
    switch (L.Settings.IoType) {
    case 0:
        port.SetActive(false);
        port.SetPort(ReadInteger(L.Settings.PortText));
        port.SetActive(true);
        break;
    case 1:
        DeviceNameEnter();
        port.SetActive(false);
        break;
    case 2:
        L.Settings.GpibAddress = AddressFromEdit();
        port.SetActive(false);
        break;
    default:
        break;
    }
    L.Gpib.ForgetGpibDevice();
    QString error;
    if (!WriteLinkConfig(LinkConfigPath(), L.Settings, &error))
        throw std::runtime_error(
            QStringLiteral("Cannot write TAVCON.cfg: %1").arg(error).toStdString());
    accept();
}
