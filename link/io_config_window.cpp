#include "link/io_config_window.h"

#include "common/number_reading.h"
#include "panel/operator_messages.h"
#include "panel/program_state.h"

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
QString PortNumberOf(const QString& picked)
{
    static const QRegularExpression number(QStringLiteral("^COM(\\d+)"));
    const QRegularExpressionMatch m = number.match(picked);
    return m.hasMatch() ? m.captured(1) : picked.mid(3, 1);
}

} // namespace

TForm4::TForm4(ProgramState& state, IoConfigHost& host, QWidget* parent)
    : QDialog(parent), S(state), m_host(host)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("I/O Configuration"));
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    root->addLayout(top);

    auto* typeBox = new QGroupBox(QStringLiteral("IO Type"), this);
    typeBox->setObjectName(QStringLiteral("RadioGroup1"));
    auto* typeLayout = new QVBoxLayout(typeBox);
    m_ioType = new QButtonGroup(this);
    const char* const types[] = {"Serial", "GPIB Device Name", "GPIB Address"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(types[i]), typeBox);
        radio->setObjectName(QStringLiteral("IoType%1").arg(i));
        m_ioType->addButton(radio, i);
        typeLayout->addWidget(radio);
    }
    top->addWidget(typeBox);

    auto* serialBox = new QGroupBox(QStringLiteral("Serial I/O"), this);
    auto* serial = new QGridLayout(serialBox);
    m_port = new QComboBox(serialBox);
    m_port->setObjectName(QStringLiteral("ComboBox1"));
    m_port->setEditable(true);
    const char* const captions[] = {"Port:", "Baud:", "Databits:", "Parity:", "Stopbits:"};
    QWidget* fields[] = {m_port, FixedSetting(QStringLiteral("BaudBox"), "19200", serialBox),
                         FixedSetting(QStringLiteral("DatabitsBox"), "8", serialBox),
                         FixedSetting(QStringLiteral("ParityBox"), "None", serialBox),
                         FixedSetting(QStringLiteral("StopbitsBox"), "1", serialBox)};
    for (int i = 0; i < 5; ++i) {
        serial->addWidget(new QLabel(QString::fromLatin1(captions[i]), serialBox), i, 0);
        serial->addWidget(fields[i], i, 1);
    }
    top->addWidget(serialBox);

    auto* gpibBox = new QGroupBox(QStringLiteral("GPIB"), this);
    auto* gpib = new QGridLayout(gpibBox);
    m_address = new QLineEdit(gpibBox);
    m_address->setObjectName(QStringLiteral("Edit1"));
    m_deviceName = new QLineEdit(gpibBox);
    m_deviceName->setObjectName(QStringLiteral("Edit2"));
    gpib->addWidget(new QLabel(QStringLiteral("Address:"), gpibBox), 0, 0);
    gpib->addWidget(m_address, 0, 1);
    gpib->addWidget(new QLabel(QStringLiteral("Device Name:"), gpibBox), 1, 0);
    gpib->addWidget(m_deviceName, 1, 1);
    root->addWidget(gpibBox);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setAutoDefault(false);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setAutoDefault(false);
    buttons->addWidget(ok);
    buttons->addWidget(close);
    root->addLayout(buttons);

    // Filled from the settings as they are now.
    m_port->setEditText(QStringLiteral("COM") + S.Link.PortText.left(1));
    m_port->clear();
    for (const QString& n : S.DiscoveredPorts)
        m_port->addItem(QStringLiteral("COM") + n);
    m_port->setCurrentIndex(-1);
    m_port->setEditText(QStringLiteral("COM") + S.Link.PortText.left(1));
    m_address->setText(QString::number(S.Link.GpibAddress));
    m_deviceName->setText(S.Link.GpibDeviceName);
    if (QAbstractButton* b = m_ioType->button(S.Link.IoType)) {
        b->setChecked(true);
        ApplyEnabling(S.Link.IoType);
    }

    connect(m_ioType, &QButtonGroup::idClicked, this,
            [this](int id) { RunOperatorEvent(this, [this, id] { RadioGroup1Click(id); }); });
    connect(m_port, &QComboBox::activated, this, [this](int index) {
        const QString picked = m_port->itemText(index);
        RunOperatorEvent(this, [this, picked] { ComboBox1Select(picked); });
    });
    OnOperatorEvent(this, m_address, &QLineEdit::returnPressed, [this] { AddressEnter(); });
    OnOperatorEvent(this, m_deviceName, &QLineEdit::returnPressed, [this] { DeviceNameEnter(); });
    OnOperatorEvent(this, ok, &QPushButton::clicked, [this] { OkClick(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    resize(370, 230);
    if (parent)
        move(parent->geometry().center() - rect().center());
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
    S.Link.IoType = ioType;
    ApplyEnabling(ioType);
    // Every later send goes over the chosen link, even if the window is left with "Close".
    S.SerialLink = ioType == 0;
}

void TForm4::ComboBox1Select(const QString& picked)
{
    const QString oldPort = S.Link.PortText;
    S.Link.PortText = PortNumberOf(picked);
    m_host.StopPollingForPortChange();
    m_host.ParseReply(QStringLiteral("COM") + oldPort + QStringLiteral(": port closed"));
    TCiaComPort& port = S.ComPort(1);
    port.SetActive(false);
    port.SetPort(ReadInteger(S.Link.PortText));
    port.SetActive(true); // an open error ends the pick here, the old port already closed
    m_host.ParseReply(QStringLiteral("COM") + S.Link.PortText + QStringLiteral(": port opened"));
}

int TForm4::AddressFromEdit() const
{
    const QString text = m_address->text().trimmed();
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw std::runtime_error(
            QStringLiteral("'%1' is not a valid integer value").arg(m_address->text()).toStdString());
    return value;
}

void TForm4::AddressEnter() { S.Link.GpibAddress = AddressFromEdit(); }

void TForm4::DeviceNameEnter()
{
    S.Link.GpibDeviceName = m_deviceName->text();
    m_host.SetDeviceName(m_deviceName->text());
}

void TForm4::OkClick()
{
    DeviceNameEnter();
    TCiaComPort& port = S.ComPort(1);
    switch (S.Link.IoType) {
    case 0:
        port.SetActive(false);
        port.SetPort(ReadInteger(S.Link.PortText));
        port.SetActive(true);
        break;
    case 1:
        DeviceNameEnter();
        port.SetActive(false);
        break;
    case 2:
        S.Link.GpibAddress = AddressFromEdit();
        port.SetActive(false);
        break;
    default:
        break;
    }
    S.Gpib.ForgetGpibDevice();
    QString error;
    if (!WriteLinkConfig(QDir::current().absoluteFilePath(QStringLiteral("TAVCON.cfg")), S.Link,
                         &error))
        throw std::runtime_error(
            QStringLiteral("Cannot write TAVCON.cfg: %1").arg(error).toStdString());
    accept();
}
