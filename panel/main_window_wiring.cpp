// The control panel's menu, and its controls wired to their handlers: every operator's event runs
// through OnOperatorEvent, so an error it raises is shown instead of leaving the slot.
#include "panel/main_window.h"

#include "panel/logo.h"
#include "panel/operator_commands.h"
#include "widgets/operator_messages.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <utility>

void TForm1::BuildMenu()
{
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
    addEntry(setup, QStringLiteral("Record1"), QStringLiteral("Record…"), &TForm1::Record1Click);
    addEntry(setup, QStringLiteral("Trend1"), QStringLiteral("Trend"), &TForm1::Trend1Click);
    m_recordAction = setup->findChild<QAction*>(QStringLiteral("Record1"));
    QMenu* info = menuBar()->addMenu(QStringLiteral("Info"));
    addEntry(info, QStringLiteral("Device1"), QStringLiteral("Device"), &TForm1::Device1Click);
    addEntry(info, QStringLiteral("About1"), QStringLiteral("About"), &TForm1::About1Click);
}

void TForm1::WireOperatorControls()
{
    OnOperatorEvent(this, m_image1, &ClickableLogo::clicked, [this] { Image1Click(); });
    int count = 0;
    const SetValueField* fields = SetValueFields(count);
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromLatin1(fields[i].field);
        OnOperatorEvent(this, Field(fields[i].field), &QLineEdit::returnPressed,
                        [this, name] { SetValueEnter(name); });
    }
    const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
        {m_connect, &TForm1::BitBtn7Click},     {m_disconnect, &TForm1::BitBtn8Click},
        {m_quit, &TForm1::Button20Click},       {m_ipClear, &TForm1::IpClearClick},
        {m_outputOn, &TForm1::OutputOnClick},   {m_outputOff, &TForm1::OutputOffClick},
        {m_auxOn, &TForm1::AuxOnClick},         {m_auxOff, &TForm1::AuxOffClick},
        {m_phaseOn, &TForm1::PhaseOnClick},     {m_phaseOff, &TForm1::PhaseOffClick},
        {m_ipAutoOff, &TForm1::IpAutoOffClick}, {m_ipAutoOn, &TForm1::IpAutoOnClick},
        {m_irmsX10, &TForm1::IrmsX10Click},     {m_irmsX1, &TForm1::IrmsX1Click},
        {m_ot1Off, &TForm1::Ot1OffClick},       {m_ot1On, &TForm1::Ot1OnClick},
        {m_rclState, &TForm1::RclStateClick},   {m_savState, &TForm1::SavStateClick},
        {m_rclState0, &TForm1::RclState0Click}};
    for (const auto& [button, handler] : buttons)
        OnOperatorEvent(this, button, &QPushButton::clicked,
                        [this, handler = handler] { (this->*handler)(); });
}
