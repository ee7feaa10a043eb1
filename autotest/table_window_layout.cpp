// The test window's controls and their layout.
#include "autotest/table_window.h"

#include "autotest/result_grid_view.h"
#include "autotest/table_file.h"
#include "sequence/grid_widget.h"
#include "widgets/modal_window.h"
#include "widgets/operator_messages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* Field(const QString& name, QWidget* parent, bool readOnly = false)
{
    auto* f = new QLineEdit(parent);
    f->setObjectName(name);
    f->setReadOnly(readOnly);
    return f;
}

// A field under its caption, as the window shows its header and step fields.
void AddCaptioned(QGridLayout* grid, int column, const char* caption, QWidget* field,
                  QWidget* parent)
{
    grid->addWidget(new QLabel(QString::fromLatin1(caption), parent), 0, column);
    grid->addWidget(field, 1, column);
}

} // namespace

void TForm6::BuildWindow()
{
    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Test-Table"), this);
    title->setObjectName(QStringLiteral("TitleLabel"));
    title->setStyleSheet(QStringLiteral("font-size: 16px; font-weight: bold;"));
    top->addWidget(title);
    top->addStretch();
    // The run's state in words and colour, beside the large result.
    m_runState = new QLabel(this);
    m_runState->setObjectName(QStringLiteral("RunStateLabel"));
    // Both keep the width of their longest text so far: the text stays beside the result.
    m_runState->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    top->addWidget(m_runState);
    top->addSpacing(16);
    m_bigResult = new QLabel(this);
    m_bigResult->setObjectName(QStringLiteral("ResultLabel"));
    m_bigResult->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_bigResult->setStyleSheet(QStringLiteral("font-size: 28px; font-weight: bold;"));
    top->addWidget(m_bigResult);
    root->addLayout(top);

    auto* middle = new QHBoxLayout;
    m_grid->setMinimumWidth(640);
    // Commands and comments need room; "Show" holds one character.
    const int widths[kTestColumns] = {34, 96, 170, 60, 60, 60, 80, 80, 200, 44};
    for (int c = 0; c < kTestColumns; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    m_grid->horizontalHeader()->setStretchLastSection(false);
    m_grid->horizontalHeader()->setSectionResizeMode(kTestComment, QHeaderView::Stretch);
    middle->addWidget(m_grid, 1);
    middle->addWidget(BuildSidePanel());
    root->addLayout(middle, 3);
    root->addWidget(BuildStepFields());
    root->addWidget(BuildHeaderFields());

    // The report's rows are drawn from the table itself, no item per cell.
    m_resultGrid = new ResultGridView(m_results, this);
    m_resultGrid->setObjectName(QStringLiteral("StringGrid2"));
    m_resultGrid->verticalHeader()->hide();
    m_resultGrid->verticalHeader()->setDefaultSectionSize(
        m_grid->verticalHeader()->defaultSectionSize());
    m_resultGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_resultGrid->horizontalHeader()->setStretchLastSection(true);
    m_resultGrid->setColumnWidth(1, 260);
    root->addWidget(m_resultGrid, 2);
    resize(1020, 860);
}

QWidget* TForm6::BuildSidePanel()
{
    auto* panel = new QWidget(this);
    auto* side = new QVBoxLayout(panel);
    side->setContentsMargins(0, 0, 0, 0);
    auto button = [this, side](const char* name, const char* caption, void (TForm6::*handler)(),
                               bool green = false) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        if (green)
            b->setStyleSheet(QStringLiteral("color: green; font-weight: bold;"));
        OnOperatorEvent(this, b, &QPushButton::clicked, [this, handler] { (this->*handler)(); });
        side->addWidget(b);
        return b;
    };
    button("Button3", "Start", &TForm6::Button3Click, true);
    button("Button15", "Single Step", &TForm6::Button15Click, true);
    button("Button5", "Pause", &TForm6::Button5Click);
    button("Button6", "Continue", &TForm6::Button6Click);
    side->addSpacing(10);
    auto box = [this, side](const char* name, const char* caption, bool checked) {
        auto* c = new QCheckBox(QString::fromLatin1(caption), this);
        c->setObjectName(QString::fromLatin1(name));
        c->setChecked(checked);
        side->addWidget(c);
        return c;
    };
    m_stopAtError = box("StopAtErrorBox", "Stop at Error", false);
    m_serialPlusOne = box("SerialPlusOneBox", "Serial # +1", false);
    m_startAtStep1 = box("StartAtStep1Box", "Start at Step 1", true);
    m_autoSave = box("AutoSaveBox", "Auto Save", false);
    side->addSpacing(10);
    button("OpenTestButton", "Open Test", &TForm6::OpenTestClick);
    button("SaveTestButton", "Save Test", &TForm6::SaveTestClick);
    side->addSpacing(10);
    button("SaveReportButton", "Save Report", &TForm6::SaveReportClick);
    button("OpenReportButton", "Open Report", &TForm6::OpenReportClick);
    button("PrintReportButton", "Print Report", &TForm6::PrintReportClick);
    button("ExportTextButton", "Export Text", &TForm6::ExportTextClick);
    button("Button13", "Send to Excel", &TForm6::Button13Click);
    button("ExcelOptionsButton", "Excel Options", &TForm6::ExcelOptionsClick);
    side->addStretch();
    side->addWidget(MakeCloseButton(this));
    return panel;
}

QWidget* TForm6::BuildStepFields()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Test Step:"), box), 0, 0);
    m_stepLabel = new QLabel(box);
    m_stepLabel->setObjectName(QStringLiteral("StepLabel"));
    m_stepLabel->setMinimumWidth(40);
    grid->addWidget(m_stepLabel, 1, 0);
    m_lower = Field(QStringLiteral("LowerLimitEdit"), box, true);
    m_upper = Field(QStringLiteral("UpperLimitEdit"), box, true);
    m_comment = Field(QStringLiteral("CommentEdit"), box, true);
    m_result = Field(QStringLiteral("Edit3"), box, true);
    AddCaptioned(grid, 1, "Lower Limit", m_lower, box);
    AddCaptioned(grid, 2, "Upper Limit", m_upper, box);
    AddCaptioned(grid, 3, "Comment:", m_comment, box);
    AddCaptioned(grid, 4, "Result:", m_result, box);
    grid->setColumnStretch(3, 2);
    grid->setColumnStretch(4, 1);
    return box;
}

QWidget* TForm6::BuildHeaderFields()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    m_reporter = Field(QStringLiteral("ReporterEdit"), box);
    m_unit = Field(QStringLiteral("UnitEdit"), box);
    m_serial = Field(QStringLiteral("SerialEdit"), box);
    m_date = Field(QStringLiteral("DateEdit"), box);
    SetHeaderFields(TestHeader());
    AddCaptioned(grid, 0, "Reporter:", m_reporter, box);
    AddCaptioned(grid, 1, "Unit:", m_unit, box);
    AddCaptioned(grid, 2, "Serial #:", m_serial, box);
    AddCaptioned(grid, 3, "Date:", m_date, box);
    return box;
}
