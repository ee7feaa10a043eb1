#include "service/trace_button.h"

#include "record/trace_writer.h"
#include "widgets/file_dialogs.h"
#include "widgets/operator_messages.h"

TraceButton::TraceButton(TraceWriter& trace, QWidget* parent) : QPushButton(parent), m_trace(trace)
{
    setObjectName(QStringLiteral("TraceButton"));
    ShowState();
    OnOperatorEvent(this, this, &QPushButton::clicked, [this] {
        Toggle(m_trace.IsOpen()
                   ? QString()
                   : AskSaveFileName(
                         this, QStringLiteral("Trace Files (*.trace)|*.trace|All Files (*.*)|*.*"),
                         QStringLiteral("tavcontrol.trace")));
    });
}

void TraceButton::Toggle(const QString& path)
{
    if (m_trace.IsOpen())
        m_trace.Close();
    else if (!path.isEmpty() && !m_trace.Open(path))
        ShowOperatorError(
            this, QStringLiteral("Cannot open trace file %1: %2").arg(path, m_trace.Error()));
    ShowState();
}

void TraceButton::ShowState()
{
    setText(m_trace.IsOpen() ? QStringLiteral("Stop trace")
                             : QStringLiteral("Trace to file\u2026"));
    setToolTip(m_trace.IsOpen() ? m_trace.Path() : QString());
}
