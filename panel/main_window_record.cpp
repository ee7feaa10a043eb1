// The control panel's recording of measured values and its trend window.
#include "panel/main_window.h"

#include "record/measurement_recording.h"
#include "record/trend_window.h"
#include "widgets/file_dialogs.h"
#include "widgets/operator_messages.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>

void TForm1::SlotTaken(int slot)
{
    m_recording->Pass().SlotTaken(slot, m_cycle.CycleBase, m_cycle.MeasEnd);
}

bool TForm1::StartRecording(const QString& path, bool replaceExisting)
{
    CsvRecorder& recorder = m_recording->Recorder();
    const auto existing =
        replaceExisting ? CsvRecorder::Existing::Replace : CsvRecorder::Existing::Keep;
    if (!recorder.Start(path, existing)) {
        ShowOperatorError(this,
                          QStringLiteral("Cannot record into %1: %2").arg(path, recorder.Error()));
        ShowRecordingStatus(false);
        return false;
    }
    ShowRecordingStatus(false);
    return true;
}

void TForm1::StopRecording()
{
    if (!m_recording->Recorder().Recording())
        return;
    m_recording->Recorder().Stop();
    ShowRecordingStatus(false);
}

QString TForm1::RecordingStatus() const { return m_recordStatus->text(); }

void TForm1::ShowRecordingStatus(bool failed)
{
    const CsvRecorder& recorder = m_recording->Recorder();
    const QString name = QFileInfo(recorder.Path()).fileName();
    if (recorder.Recording())
        m_recordStatus->setText(
            QStringLiteral("Recording %1: %2 rows").arg(name).arg(recorder.Rows()));
    else if (!recorder.Path().isEmpty())
        m_recordStatus->setText(
            QStringLiteral("Recorded %1: %2 rows").arg(name).arg(recorder.Rows()));
    m_recordAction->setCheckable(true);
    m_recordAction->setChecked(recorder.Recording());
    if (failed)
        ShowOperatorError(
            this,
            QStringLiteral("Recording into %1 stopped: %2").arg(recorder.Path(), recorder.Error()));
}

void TForm1::Record1Click()
{
    if (m_recording->Recorder().Recording()) {
        StopRecording();
        return;
    }
    // The dialog has asked before it lets the operator pick an existing file.
    const QString path =
        AskSaveFileName(this, QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*"),
                        QStringLiteral("measurements.csv"));
    if (!path.isEmpty())
        StartRecording(path, true);
    else
        ShowRecordingStatus(false);
}

void TForm1::Trend1Click()
{
    if (!m_trend)
        m_trend = new TrendWindow(*m_recording, this);
    m_trend->ShowBeside(*this);
}
