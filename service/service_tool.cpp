#include "service/service_tool.h"

#include "service/trace_button.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
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

TForm5::TForm5(ProgramState& state, QWidget* parent) : QDialog(parent), S(state)
{
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Tool"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    resize(511, 651);

    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    root->addLayout(top);

    auto* left = new QVBoxLayout;
    m_memo1 = new QPlainTextEdit(this);
    m_memo1->setObjectName(QStringLiteral("Memo1"));
    m_memo1->setReadOnly(true);
    m_memo1->setMinimumSize(305, 289);
    // The log grows for the whole run; keep the newest lines, not all of them.
    m_memo1->setMaximumBlockCount(20000);
    left->addWidget(m_memo1);
    m_errBox = new QListWidget(this);
    m_errBox->setObjectName(QStringLiteral("ErrBox"));
    m_errBox->hide();
    left->addWidget(m_errBox);
    m_meter = ScratchField(QStringLiteral("Meter"), this);
    m_meter->hide();
    auto* edit53 = ScratchField(QStringLiteral("Edit53"), this);
    edit53->hide();
    left->addWidget(m_meter);
    left->addWidget(edit53);
    top->addLayout(left, 1);

    // Identification as the instrument reported it: comma positions, fields, markers found, and
    // the test window's stopwatch.
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
        {"Edit1", "Rev. ID:"}, {"Edit2", "Options:"},   {"Edit57", "Phases:"},
        {"Edit10", "Start:"},  {"Edit11", "End:"},      {"Edit12", "Counts:"},
        {"Edit13", "Seconds:"}};
    int row = 5;
    for (const auto& [name, text] : scratch) {
        caption(text, row);
        ident->addWidget(ScratchField(QString::fromLatin1(name), this), row++, 1);
    }
    ident->setRowStretch(row, 1);
    top->addLayout(ident, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new TraceButton(S.Trace, this));
    bottom->addStretch();
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    bottom->addWidget(close);
    root->addStretch();
    root->addLayout(bottom);
    S.GpibSink.SetTarget(this);
}

TForm5::~TForm5() { S.GpibSink.SetTarget(nullptr); }

void TForm5::AppendErrBox(const QString& line) { m_errBox->addItem(line); }

void TForm5::ClearErrBox() { m_errBox->clear(); }

void TForm5::SetMeter(const QString& text) { m_meter->setText(text); }

void TForm5::AppendLog(const QString& line) { m_memo1->appendPlainText(line); }

// The reply handling writes some of these at every poll pass: look each up once.
QWidget* TForm5::Named(const QString& objectName) const
{
    auto it = m_named.constFind(objectName);
    if (it == m_named.constEnd())
        it = m_named.insert(objectName, findChild<QWidget*>(objectName));
    return it.value();
}

void TForm5::SetFieldText(const QString& objectName, const QString& text)
{
    QWidget* w = Named(objectName);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
}

QString TForm5::FieldText(const QString& objectName) const
{
    QWidget* w = Named(objectName);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    return {};
}

void TForm5::ShowTool()
{
    show();
    raise();
}
