// The rack window's controls: the table and the reports folder, the slot grid with its port
// choices, the question line, the buttons, the chosen slot's report and the log.
#include "rack/rack_window.h"

#include "autotest/result_grid_view.h"
#include "link/serial_device.h"
#include "widgets/file_dialogs.h"
#include "widgets/modal_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton* Button(const char* caption, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

// The port cell offers the ports found now (the COM entries, tcp:// entries, URIs named
// before), and takes anything typed ("gpib:5", "tcp://host:4001", "COM3,meter=COM9").
class PortChoice : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override
    {
        auto* box = new QComboBox(parent);
        box->setObjectName(QStringLiteral("PortChoice"));
        box->setEditable(true);
        QStringList found;
        ListSerialPorts(found);
        for (const QString& n : found)
            box->addItem(PortLabel(n.toInt()));
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        static_cast<QComboBox*>(editor)->setEditText(index.data().toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText().trimmed());
    }
};

} // namespace

void RackWindow::BuildLayout()
{
    auto* layout = new QVBoxLayout(this);
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(new QLabel(QStringLiteral("Test:"), this));
    m_tableField = new QLineEdit(this);
    m_tableField->setObjectName(QStringLiteral("TableEdit"));
    tableRow->addWidget(m_tableField, 1);
    QPushButton* open = Button("Open Test", "OpenTestButton", this);
    tableRow->addWidget(open);
    layout->addLayout(tableRow);

    // A limits file judges each slot by its instrument's model; empty: the table's own limits.
    auto* limitsRow = new QHBoxLayout;
    limitsRow->addWidget(new QLabel(QStringLiteral("Limits:"), this));
    m_limitsField = new QLineEdit(this);
    m_limitsField->setObjectName(QStringLiteral("LimitsEdit"));
    m_limitsField->setPlaceholderText(QStringLiteral("the table's own"));
    limitsRow->addWidget(m_limitsField, 1);
    QPushButton* limits = Button("Limits…", "LimitsButton", this);
    limitsRow->addWidget(limits);
    layout->addLayout(limitsRow);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("Reports:"), this));
    m_folderField = new QLineEdit(this);
    m_folderField->setObjectName(QStringLiteral("ReportFolderEdit"));
    folderRow->addWidget(m_folderField, 1);
    QPushButton* folder = Button("Folder…", "ReportFolderButton", this);
    folderRow->addWidget(folder);
    m_pdf = new QCheckBox(QStringLiteral("PDF"), this);
    m_pdf->setObjectName(QStringLiteral("PdfCheck"));
    m_junit = new QCheckBox(QStringLiteral("JUnit"), this);
    m_junit->setObjectName(QStringLiteral("JUnitCheck"));
    folderRow->addWidget(m_pdf);
    folderRow->addWidget(m_junit);
    layout->addLayout(folderRow);

    m_slots = new QTableWidget(kSlotRows, kColumns, this);
    m_slots->setObjectName(QStringLiteral("SlotGrid"));
    m_slots->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("Serial #"),
                                        QStringLiteral("State"), QStringLiteral("Row"),
                                        QStringLiteral("Last value"), QStringLiteral("Verdict")});
    m_slots->horizontalHeader()->setStretchLastSection(true);
    m_slots->setColumnWidth(kPort, 170);
    m_slots->setColumnWidth(kSerial, 110);
    m_slots->setColumnWidth(kValue, 200);
    m_slots->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_slots->setSelectionMode(QAbstractItemView::SingleSelection);
    m_slots->setItemDelegateForColumn(kPort, new PortChoice(m_slots));
    layout->addWidget(m_slots, 2);

    // A slot's PAUSE row or prompt, named by its slot; the other slots run on meanwhile.
    m_questionBox = new QWidget(this);
    auto* questionRow = new QHBoxLayout(m_questionBox);
    questionRow->setContentsMargins(0, 0, 0, 0);
    m_question = new QLabel(m_questionBox);
    m_question->setObjectName(QStringLiteral("QuestionLabel"));
    m_answer = new QLineEdit(m_questionBox);
    m_answer->setObjectName(QStringLiteral("AnswerEdit"));
    QPushButton* answer = Button("OK", "AnswerButton", m_questionBox);
    questionRow->addWidget(m_question);
    questionRow->addWidget(m_answer, 1);
    questionRow->addWidget(answer);
    m_questionBox->hide();
    layout->addWidget(m_questionBox);

    auto* buttons = new QHBoxLayout;
    m_start = Button("Start all", "StartAllButton", this);
    m_stop = Button("Stop all", "StopAllButton", this);
    m_stop->setEnabled(false);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    buttons->addWidget(MakeCloseButton(this));
    layout->addLayout(buttons);

    m_reportOf = new QLabel(this);
    m_reportOf->setObjectName(QStringLiteral("ReportLabel"));
    layout->addWidget(m_reportOf);
    m_report = new ResultGridView(m_shown, this);
    m_report->setObjectName(QStringLiteral("SlotReport"));
    layout->addWidget(m_report, 2);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("RackLog"));
    m_log->setReadOnly(true);
    m_log->setMaximumHeight(90);
    layout->addWidget(m_log);
    resize(860, 680);

    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = AskOpenFileName(this, QStringLiteral("Test Files (*.tst)|*.tst|All "
                                                                  "Files (*.*)|*.*"));
        if (!path.isEmpty())
            SetTable(path);
    });
    connect(limits, &QPushButton::clicked, this, [this] {
        const QString path =
            AskOpenFileName(this, QStringLiteral("Limits Files (*.lim)|*.lim|All Files (*.*)|*.*"));
        if (!path.isEmpty())
            m_limitsField->setText(path);
    });
    connect(folder, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Reports"),
                                                                 m_folderField->text());
        if (!chosen.isEmpty())
            SetReportFolder(chosen);
    });
    connect(answer, &QPushButton::clicked, this, [this] { Answer(m_answer->text()); });
    connect(m_answer, &QLineEdit::returnPressed, this, [this] { Answer(m_answer->text()); });
    connect(m_start, &QPushButton::clicked, this, &RackWindow::StartAll);
    connect(m_stop, &QPushButton::clicked, this, &RackWindow::StopAll);
    connect(m_slots, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { ShowSlotReport(row); });
    // A serial typed (or scanned) over the one a slot ran under is the next unit's.
    connect(m_slots, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling && item->column() == kSerial)
            MarkSerial(item, false);
    });
}
