#pragma once

#include "link/reply_sink.h"

#include <QDialog>
#include <QString>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLayout;
class QLineEdit;
class QPushButton;
class LinkState;

// What the I/O window needs of the main window.
// Its reply handling writes the window's port lines into the service tool's log.
class IoConfigHost : public ReplySink {
public:
    // Stops polling and shows the disconnected state: a port change ends the connection.
    virtual void StopPollingForPortChange() = 0;
    // The main window's DeviceName field, which a GPIB lookup by name reads.
    virtual void SetDeviceName(const QString& name) = 0;
};

// TForm4, "I/O Configuration": link type, serial port, GPIB address and device name. Picking
// and Enter take effect in memory at once; "OK" also saves TAVCON.cfg.
class TForm4 : public QDialog {
    Q_OBJECT

public:
    TForm4(LinkState& link, IoConfigHost& host, QWidget* parent = nullptr);

    // Handlers.
    void RadioGroup1Click(int ioType);
    void ComboBox1Select(const QString& picked);
    void AddressEnter();
    void DeviceNameEnter();
    void OkClick();

private:
    void BuildLayout();
    QGroupBox* MakeTypeBox();
    QGroupBox* MakeSerialBox();
    QGroupBox* MakeGpibBox();
    QLayout* MakeButtons();
    void ShowSettings();
    void WireControls();
    void ApplyEnabling(int ioType);
    // Typed text in the port field picks nothing; the field then shows the configured port again.
    void GuardTypedText();
    void ShowConfiguredPort();
    // The address edit as a whole number; an error (raised) names the text, as a failed
    // conversion does.
    int AddressFromEdit() const;

    LinkState& L;
    IoConfigHost& m_host;
    QButtonGroup* m_ioType = nullptr;
    QComboBox* m_port = nullptr;
    bool m_typing = false;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_deviceName = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_close = nullptr;
};
