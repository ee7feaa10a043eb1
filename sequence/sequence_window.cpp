#include "sequence/sequence_window.h"

#include "common/program_places.h"
#include "export/export_options_window.h"
#include "export/export_state.h"
#include "export/spreadsheet_export.h"
#include "link/cia_com_port.h"
#include "link/link_state.h"
#include "panel/direct_send.h"
#include "sequence/grid_widget.h"
#include "sequence/sequence_file.h"
#include "widgets/file_dialogs.h"
#include "widgets/modal_window.h"
#include "widgets/operator_messages.h"
#include "widgets/window_timer.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const kFileFilter = "Sequenz Files (*.seq)|*.seq|All Files (*.*)|*.*";

// The marked range lives as long as the program, not the window.
RowRangeSelection& SequenceSelection()
{
    static RowRangeSelection selection;
    return selection;
}

} // namespace

TForm2::TForm2(LinkState& link, ExportState& exports, const ProgramPlaces& places, QWidget* parent)
    : QDialog(parent), L(link), E(exports), F(places),
      m_grid(new StepGridWidget(SequenceTableKind(), kSequenceRows, SequenceSelection(),
                                {true, true, nullptr}, this)),
      m_transfer(*m_grid, *this)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Sequenz"));
    KeepOpenOnEscape(this);
    SequenceSelection().Armed = true;

    auto* root = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* title = new QLabel(QStringLiteral("Sequenz-Table"), this);
    title->setStyleSheet(QStringLiteral("font-size: 16px; font-weight: bold;"));
    left->addWidget(title);
    left->addWidget(m_grid, 1);
    root->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    auto button = [this, right](const char* name, const char* caption, void (TForm2::*handler)()) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        OnOperatorEvent(this, b, &QPushButton::clicked, [this, handler] { (this->*handler)(); });
        right->addWidget(b);
        return b;
    };
    button("OpenFileButton", "Open File", &TForm2::OpenFileClick);
    button("SaveFileButton", "Save File", &TForm2::SaveFileClick);
    right->addSpacing(12);
    m_transferButton = button("TransferButton", "Transfer SEQ", &TForm2::TransferClick);
    button("GoButton", "Go SEQ", &TForm2::GoClick);
    button("StopButton", "Stop SEQ", &TForm2::StopClick);
    right->addSpacing(12);
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Count:"), this), 0, 0);
    m_count = new QLineEdit(QStringLiteral("1"), this);
    m_count->setObjectName(QStringLiteral("CountEdit"));
    fields->addWidget(m_count, 1, 0);
    fields->addWidget(new QLabel(QStringLiteral("SEQ Nr.:"), this), 2, 0);
    m_seqNr = new QLineEdit(QStringLiteral("0"), this);
    m_seqNr->setObjectName(QStringLiteral("SeqNrEdit"));
    fields->addWidget(m_seqNr, 3, 0);
    right->addLayout(fields);
    button("LoadButton", "Load SEQ", &TForm2::LoadClick);
    button("StoreButton", "Store SEQ", &TForm2::StoreClick);
    right->addSpacing(12);
    button("Button9", "Send to Excel", &TForm2::Button9Click);
    button("ExcelOptionsButton", "Excel Options", &TForm2::ExcelOptionsClick);
    right->addStretch();
    right->addWidget(MakeCloseButton(this));
    root->addLayout(right);

    m_rowTimer = MakeWindowTimer(
        this, QStringLiteral("RowTimer"), SequenceTransfer::kRowTimerMs,
        [this] { RowTimerTimer(); }, Qt::PreciseTimer);
    m_commandTimer = MakeWindowTimer(
        this, QStringLiteral("CommandTimer"), SequenceTransfer::kCommandTimerMs,
        [this] { CommandTimerTimer(); }, Qt::PreciseTimer);

    TakeGpibInstrument(L);
    resize(720, 620);
}

void TForm2::done(int result)
{
    m_rowTimer->stop();
    m_commandTimer->stop();
    ReleaseGpibInstrument(L);
    QDialog::done(result);
}

// ---- file ----

void TForm2::OpenFileClick()
{
    const QString path = AskOpenFileName(this, QString::fromLatin1(kFileFilter));
    if (!path.isEmpty())
        OpenFile(path);
}

void TForm2::SaveFileClick()
{
    // The dialog asks before it replaces a file.
    const QString path = AskSaveFileName(this, QString::fromLatin1(kFileFilter));
    if (!path.isEmpty())
        SaveFile(path);
}

void TForm2::OpenFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    setWindowTitle(QStringLiteral("Sequenz ") + path);
    QString error;
    if (!ReadSequenceFile(
            path, *m_grid,
            [this](int) { ShowOperatorError(this, QStringLiteral("Read Error Time !")); }, &error))
        ShowOperatorError(this, error);
}

void TForm2::SaveFile(const QString& path)
{
    if (!ConfirmFileSave(this, SequenceFileCells(*m_grid), true))
        return;
    setWindowTitle(QStringLiteral("Sequenz ") + path);
    QString error;
    if (!WriteSequenceFile(path, *m_grid, &error))
        ShowOperatorError(this, error);
}

// ---- transfer and run control ----

void TForm2::TransferClick() { m_transfer.Start(); }

void TForm2::TransferStep(void (SequenceTransfer::*step)())
{
    try {
        (m_transfer.*step)();
    } catch (const ECiaComPort& e) {
        m_transfer.Abort();
        ShowOperatorError(this, e.Message());
    }
}

void TForm2::RowTimerTimer() { TransferStep(&SequenceTransfer::RowTick); }

void TForm2::CommandTimerTimer() { TransferStep(&SequenceTransfer::CommandTick); }

void TForm2::GoClick() { SendLine("SEQ:GO," + m_count->text().toLatin1() + '\n'); }

void TForm2::StopClick()
{
    // The serial command keeps its comma; over GPIB it goes without.
    SendLine(L.SerialLink ? QByteArray("SEQ:STOP,\n") : QByteArray("SEQ:STOP\n"));
}

void TForm2::LoadClick() { SendLine("SEQ:LOAD," + m_seqNr->text().toLatin1() + '\n'); }

void TForm2::StoreClick() { SendLine("SEQ:STORE," + m_seqNr->text().toLatin1() + '\n'); }

void TForm2::Button9Click()
{
    for (const QString& message : SendSequenceToSpreadsheet(E, F, *m_grid, m_curve))
        ShowOperatorError(this, message);
}

void TForm2::ExcelOptionsClick() { OpenExportOptions(E, F, this); }

void TForm2::SendLine(const QByteArray& line) { SendToInstrument(L, line); }

void TForm2::SetRowTimer(bool on)
{
    if (on)
        m_rowTimer->start();
    else
        m_rowTimer->stop();
}

void TForm2::SetCommandTimer(bool on)
{
    if (on)
        m_commandTimer->start();
    else
        m_commandTimer->stop();
}

void TForm2::SetTransferEnabled(bool on) { m_transferButton->setEnabled(on); }

QString TForm2::CountText() const { return m_count->text(); }
