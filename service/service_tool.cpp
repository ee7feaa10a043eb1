#include "service/service_tool.h"

#include "common/stopwatch_values.h"
#include "service/trace_button.h"

#include <algorithm>

#include "widgets/window_timer.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TForm5::TForm5(LinkState& link, TraceWriter& trace, QWidget* parent)
    : QDialog(parent), L(link), m_trace(trace), m_transfer(*this)
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
    m_memo1->setFixedSize(305, 289);
    // The log grows for the whole run; keep the newest lines, not all of them.
    m_memo1->setMaximumBlockCount(kLogLines);
    left->addWidget(m_memo1);
    m_errBox = new QListWidget(this);
    m_errBox->setObjectName(QStringLiteral("ErrBox"));
    m_errBox->hide();
    left->addWidget(m_errBox);
    m_meter = new QLineEdit(this);
    m_meter->setObjectName(QStringLiteral("Meter"));
    m_meter->setReadOnly(true);
    m_meter->hide();
    left->addWidget(m_meter);
    auto* edit53 = new QLineEdit(this);
    edit53->setObjectName(QStringLiteral("Edit53"));
    edit53->hide();
    left->addWidget(edit53);
    left->addLayout(MakeIdentFields());
    top->addLayout(left);
    top->addLayout(MakeConfigControls(), 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new TraceButton(m_trace, this));
    bottom->addStretch();
    bottom->addWidget(
        MakeButton(QStringLiteral("Close"), QStringLiteral("CloseButton"), &TForm5::hide));
    root->addStretch();
    root->addLayout(bottom);

    m_timer1 = MakeWindowTimer(
        this, QStringLiteral("Timer1"), ConfigTransfer::kTickMs, [this] { Timer1Timer(); },
        Qt::PreciseTimer);
    L.GpibSink.SetTarget(this);
}

TForm5::~TForm5() { L.GpibSink.SetTarget(nullptr); }

void TForm5::AppendErrBox(const QString& line) { m_errBox->addItem(line); }

void TForm5::ClearErrBox() { m_errBox->clear(); }

void TForm5::SetMeter(const QString& text) { m_meter->setText(text); }

void TForm5::AppendLog(const QString& line)
{
    if (isVisible()) {
        m_memo1->appendPlainText(line);
        return;
    }
    m_pendingLog.append(line);
    // No more than the log keeps (trimmed in steps, not at every line).
    if (m_pendingLog.size() > kLogLines + kLogLines / 10)
        m_pendingLog.erase(m_pendingLog.begin(), m_pendingLog.end() - kLogLines);
}

void TForm5::FlushLog() const
{
    if (m_pendingLog.isEmpty())
        return;
    const qsizetype from = std::max<qsizetype>(0, m_pendingLog.size() - kLogLines);
    for (qsizetype i = from; i < m_pendingLog.size(); ++i)
        m_memo1->appendPlainText(m_pendingLog[i]);
    m_pendingLog.clear();
}

void TForm5::showEvent(QShowEvent* event)
{
    FlushLog();
    QDialog::showEvent(event);
}

bool TForm5::WriteIfOpen(const QByteArray& line)
{
    TCiaComPort& port = L.ComPort(1);
    if (!port.Active())
        return false;
    port.WriteText(line);
    return true;
}

void TForm5::SetTimerActive(bool on)
{
    if (on)
        m_timer1->start();
    else
        m_timer1->stop();
}

void TForm5::SendComandClick() { SendAndLog(*this, m_command->text().toLatin1() + '\n'); }

ConfigSelection TForm5::Selection() const
{
    return {m_model->currentText(), m_voltage->checkedId(), m_frequency->checkedId(),
            m_option->checkedId()};
}

void TForm5::SendConfigClick() { m_transfer.Start(Selection()); }

void TForm5::Timer1Timer() { m_transfer.Tick(); }

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

void TForm5::ShowCommaPositions(const std::array<int, 4>& positions)
{
    for (size_t i = 0; i < positions.size(); ++i)
        SetFieldText(QStringLiteral("Label%1").arg(17 + i), QString::number(positions[i]));
}

void TForm5::ShowIdentity(const QString& manufacturer, const QString& model,
                          const QString& serialNumber, const QString& revision)
{
    SetFieldText(QStringLiteral("Label21"), manufacturer);
    SetFieldText(QStringLiteral("Label22"), model);
    SetFieldText(QStringLiteral("Label23"), serialNumber);
    SetFieldText(QStringLiteral("Label24"), revision);
}

void TForm5::ShowRevisionMarker(const QString& text)
{
    SetFieldText(QStringLiteral("Edit1"), text);
}
void TForm5::ShowIdentDetail(const QString& text) { SetFieldText(QStringLiteral("Edit2"), text); }
void TForm5::ShowThreePhase(const QString& text) { SetFieldText(QStringLiteral("Edit57"), text); }
void TForm5::ShowStatusWord(const QString& text) { SetFieldText(QStringLiteral("Edit53"), text); }

void TForm5::ShowStopwatch(const StopwatchValues& w)
{
    auto count = [](qint64 v) { return QString::number(v).left(15); };
    SetFieldText(QStringLiteral("Edit10"), count(w.StartMark));
    SetFieldText(QStringLiteral("Edit11"), count(w.EndMark));
    SetFieldText(QStringLiteral("Edit12"), count(w.EndMark - w.StartMark));
    SetFieldText(QStringLiteral("Edit13"), QString::number(w.ElapsedTime, 'f', 3));
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
    // Centred on the window whose logo was clicked, each time it comes up from hidden.
    QWidget* over = QApplication::activeWindow();
    if (!isVisible() && over && over != this)
        move(over->frameGeometry().center() - rect().center());
    show();
    raise();
}
