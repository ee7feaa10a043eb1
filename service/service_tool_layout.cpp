// The service tool's controls: the log and the hidden fields on the left, the configuration
// selections and the command line on the right.
#include "service/service_tool.h"

#include "widgets/operator_messages.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLineEdit* ScratchField(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    return edit;
}

} // namespace

// Identification as the instrument reported it: comma positions, fields, markers found, and the
// test window's stopwatch.
QLayout* TForm5::MakeIdentFields()
{
    auto* ident = new QGridLayout;
    auto caption = [this, ident](const char* text, int row) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setStyleSheet(QStringLiteral("color: gray;"));
        ident->addWidget(label, row, 0);
    };
    caption("Commas:", 0);
    auto* commas = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* position = new QLabel(QStringLiteral("0"), this);
        position->setObjectName(QStringLiteral("Label%1").arg(17 + i));
        commas->addWidget(position);
    }
    ident->addLayout(commas, 0, 1);
    const char* const identCaptions[] = {"Maker:", "Model:", "Serial:", "Revision:"};
    for (int i = 0; i < 4; ++i) {
        caption(identCaptions[i], 1 + i);
        auto* field = new QLabel(QStringLiteral("---"), this);
        field->setObjectName(QStringLiteral("Label%1").arg(21 + i));
        ident->addWidget(field, 1 + i, 1);
    }
    const std::pair<const char*, const char*> scratch[] = {
        {"Edit1", "Rev. ID:"}, {"Edit2", "Options:"}, {"Edit57", "Phases:"}, {"Edit10", "Start:"},
        {"Edit11", "End:"},    {"Edit12", "Counts:"}, {"Edit13", "Seconds:"}};
    int row = 5;
    for (const auto& [name, text] : scratch) {
        caption(text, row);
        ident->addWidget(ScratchField(QString::fromLatin1(name), this), row++, 1);
    }
    ident->setRowStretch(row, 1);
    return ident;
}

QButtonGroup* TForm5::MakeRadioGroup(const QString& name, const QString& title,
                                     const QStringList& items, QLayout* into)
{
    auto* box = new QGroupBox(title, this);
    box->setObjectName(name);
    auto* column = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], box);
        group->addButton(button, i);
        column->addWidget(button);
    }
    group->button(0)->setChecked(true);
    into->addWidget(box);
    return group;
}

// Enter belongs to the command edit, so no button of the tool is a default one.
QPushButton* TForm5::MakeButton(const QString& text, const QString& name, void (TForm5::*click)())
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    OnOperatorEvent(this, button, &QPushButton::clicked, [this, click] { (this->*click)(); });
    return button;
}

QLayout* TForm5::MakeConfigControls()
{
    auto* right = new QVBoxLayout;
    m_model = new QComboBox(this);
    m_model->setObjectName(QStringLiteral("ComboBox1"));
    m_model->setEditable(true);
    m_model->setInsertPolicy(QComboBox::NoInsert);
    m_model->addItems(ConfigModelItems());
    m_model->setCurrentIndex(0);
    right->addWidget(m_model);
    m_voltage = MakeRadioGroup(QStringLiteral("RadioGroup1"), QStringLiteral("Voltage"),
                               ConfigVoltageItems(), right);
    m_frequency = MakeRadioGroup(QStringLiteral("RadioGroup2"), QStringLiteral("Frequency"),
                                 ConfigFrequencyItems(), right);
    m_option = MakeRadioGroup(QStringLiteral("RadioGroup3"), QStringLiteral("Option"),
                              ConfigOptionItems(), right);
    right->addWidget(MakeButton(QStringLiteral("Send Config"), QStringLiteral("SendConfigButton"),
                                &TForm5::SendConfigClick));
    right->addSpacing(16);

    m_command = new QLineEdit(QStringLiteral("*idn?"), this);
    m_command->setObjectName(QStringLiteral("CommandEdit"));
    OnOperatorEvent(this, m_command, &QLineEdit::returnPressed, [this] { SendComandClick(); });
    right->addWidget(m_command);
    right->addWidget(MakeButton(QStringLiteral("Send Comand"), QStringLiteral("SendComandButton"),
                                &TForm5::SendComandClick));
    right->addStretch();
    return right;
}
