#pragma once

#include "export/curve_table.h"
#include "sequence/sequence_transfer.h"

#include <QDialog>

class LinkState;
struct ExportState;
struct ProgramPlaces;
class QLineEdit;
class QPushButton;
class QTimer;
class StepGridWidget;

// TForm2, "Sequenz": the sequence table, its file, and the transfer into the instrument with
// its run control. Made afresh at every opening; only the marked row range is remembered for
// the run of the program.
class TForm2 : public QDialog, private SequenceTransfer::Host {
    Q_OBJECT

public:
    TForm2(LinkState& link, ExportState& exports, const ProgramPlaces& places,
           QWidget* parent = nullptr);

    StepGridWidget* Grid() const { return m_grid; }
    SequenceTransfer& Transfer() { return m_transfer; }
    QTimer* RowTimer() const { return m_rowTimer; }
    QTimer* CommandTimer() const { return m_commandTimer; }

    // Handlers. OpenFile and SaveFile take the path the dialog gave.
    void OpenFileClick();
    void SaveFileClick();
    void OpenFile(const QString& path);
    void SaveFile(const QString& path);
    void TransferClick();
    void GoClick();
    void StopClick();
    void LoadClick();
    void StoreClick();
    void Button9Click(); // Send to Excel
    void ExcelOptionsClick();
    const CurveTable& Curve() const { return m_curve; }
    void RowTimerTimer();
    void CommandTimerTimer();

    void done(int result) override;

private:
    // SequenceTransfer::Host
    void SendLine(const QByteArray& line) override;
    void SetRowTimer(bool on) override;
    void SetCommandTimer(bool on) override;
    void SetTransferEnabled(bool on) override;
    QString CountText() const override;

    // A transfer step whose line cannot be sent ends the transfer, with one message.
    void TransferStep(void (SequenceTransfer::*step)());

    LinkState& L;
    ExportState& E;
    const ProgramPlaces& F;
    StepGridWidget* m_grid = nullptr;
    SequenceTransfer m_transfer;
    QLineEdit* m_count = nullptr;
    QLineEdit* m_seqNr = nullptr;
    QPushButton* m_transferButton = nullptr;
    QTimer* m_rowTimer = nullptr;
    QTimer* m_commandTimer = nullptr;
    CurveTable m_curve;
};
