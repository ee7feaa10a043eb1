#include "panel/device_info_window.h"

#include "widgets/modal_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TForm3::TForm3(const PanelState& panel, QWidget* parent) : QDialog(parent), P(panel)
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("Device Info"));
    auto* grid = new QGridLayout(this);
    const char* const captions[] = {
        "Manufacturer:", "Model:", "Serial #.:", "Revision:", "Options:"};
    const char* const names[] = {"ManufacturerValue", "ModelValue", "SerialValue", "RevisionValue",
                                 "OptionsValue"};
    for (int i = 0; i < 5; ++i) {
        grid->addWidget(new QLabel(QString::fromLatin1(captions[i]), this), i, 0);
        m_values[static_cast<size_t>(i)] = new QLabel(this);
        m_values[static_cast<size_t>(i)]->setObjectName(QString::fromLatin1(names[i]));
        m_values[static_cast<size_t>(i)]->setMinimumWidth(220);
        grid->addWidget(m_values[static_cast<size_t>(i)], i, 1);
    }
    grid->addWidget(MakeCloseButton(this), 5, 1, Qt::AlignRight);
    RefreshValues();
    setFixedSize(sizeHint());
    if (parent)
        move(parent->geometry().center() - rect().center());
}

void TForm3::RefreshValues()
{
    const DeviceIdentType& id = P.DeviceIdent;
    const QString values[] = {id.Manufacturer, id.Model, id.SerialNumber, id.Revision, id.Options};
    for (size_t i = 0; i < m_values.size(); ++i)
        if (m_values[i]->text() != values[i])
            m_values[i]->setText(values[i]);
}

void TForm3::paintEvent(QPaintEvent* event)
{
    RefreshValues();
    QDialog::paintEvent(event);
}
