// The control panel's controls and their layout.
#include "panel/main_window.h"

#include "panel/logo.h"
#include "panel/reply_parser.h"
#include "widgets/window_timer.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Colours and sizes of the value fields. A stale field (polling stopped) is grey; a disabled one
// (a phase the instrument does not have) keeps its own colour, the later rule.
struct FieldStyle {
    const char* sheet;
    int pixelSize;
};
const FieldStyle kMeasuredStyle{
    "QLineEdit { background: #404040; color: lime; border: 1px solid #202020; }"
    "QLineEdit[stale=\"true\"] { color: #9a9a9a; }"
    "QLineEdit:disabled { color: #5a7a5a; background: #4a4a4a; }",
    24};
const FieldStyle kSetStyle{
    "QLineEdit { background: #404040; color: red; border: 1px solid #202020; }"
    "QLineEdit[stale=\"true\"] { color: #9a9a9a; }"
    "QLineEdit:disabled { color: #8a5a5a; background: #4a4a4a; }",
    24};
const FieldStyle kPerPhaseStyle{kSetStyle.sheet, 16};

const char* const kMeasureRows[] = {"U:", "I:", "P:", "P:", "IP:", "PF:", "CF:"};
const char* const kPhaseFields[3][7] = {
    {"Edit1", "Edit2", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9"},
    {"Edit24", "Edit25", "Edit26", "Edit27", "Edit28", "Edit29", "Edit30"},
    {"Edit31", "Edit32", "Edit33", "Edit34", "Edit35", "Edit36", "Edit37"}};
const char* const kCommonCaptions[] = {
    "AC:", "DC:", "Irms:", "F:", "\u00F8:", "PMax:", "IMax:", ""};
const char* const kCommonFields[] = {"Edit14", "Edit18", "Edit15", "Edit17",
                                     "Edit22", "Edit16", "Edit21", "Edit23"};
const char* const kPerPhaseCaptions[] = {"UAC", "UDC", "IAC", "F", "\u00F8"};
const int kPerPhaseFirstEdit[] = {38, 41, 44, 47, 50};

QLabel* Caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* ValueField(const QString& name, const FieldStyle& style, QWidget* parent)
{
    auto* edit = new QLineEdit(QStringLiteral("0.000"), parent);
    edit->setObjectName(name);
    edit->setStyleSheet(QString::fromLatin1(style.sheet));
    QFont font = edit->font();
    font.setPixelSize(style.pixelSize);
    edit->setFont(font);
    // Room for the eight characters a reply shows (and a unit or degree sign), whatever the font.
    const QFontMetrics fm(font);
    edit->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("0000.000W")) + 12);
    return edit;
}

// Two buttons that share one place; one of them is visible at a time.
QWidget* PairPlace(QPushButton* a, QPushButton* b, QWidget* parent)
{
    auto* place = new QWidget(parent);
    auto* grid = new QGridLayout(place);
    grid->setContentsMargins(0, 0, 0, 0);
    a->setParent(place);
    b->setParent(place);
    grid->addWidget(a, 0, 0);
    grid->addWidget(b, 0, 0);
    return place;
}

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setMinimumHeight(30);
    QSizePolicy p = b->sizePolicy();
    p.setRetainSizeWhenHidden(true); // a pair keeps its place while one of the two is hidden
    b->setSizePolicy(p);
    return b;
}

} // namespace

// ---- building the window ----

// The controls top to bottom, then the menu and the timers, then every control wired to its
// handler.
void TForm1::BuildWindow()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* root = new QVBoxLayout(central);
    root->addLayout(MakeHeader(central));

    auto* body = new QHBoxLayout;
    root->addLayout(body);
    body->addLayout(MakeMeasureGrid(central));
    body->addSpacing(16);
    body->addLayout(MakeSettingGrid(central));
    body->addSpacing(8);
    body->addLayout(MakePerPhaseGrid(central));
    body->addStretch();
    root->addStretch();

    MakeButtons(central);
    root->addLayout(MakeButtonRows(central));

    // Never visible: the GPIB device name used by a lookup by name.
    m_deviceName = new QLineEdit(QStringLiteral("TAV-PS"), central);
    m_deviceName->setObjectName(QStringLiteral("DeviceName"));
    m_deviceName->setVisible(false);
    L.Gpib.SetDeviceNameSource([this] { return m_deviceName->text(); });

    BuildMenu();
    m_timer1 = MakeWindowTimer(
        this, QStringLiteral("Timer1"), PollCycle::kTickMs, [this] { Timer1Timer(); },
        Qt::PreciseTimer);
    m_timer3 =
        MakeWindowTimer(this, QStringLiteral("Timer3"), kIpAutoClearMs, [this] { Timer3Timer(); });
    WireOperatorControls();
    for (int slot = 0; slot <= 100; ++slot)
        if (const char* name = FieldForSlot(slot))
            m_slotFields[static_cast<size_t>(slot)] = Field(name);
}

// Logo, maker, model of the connected instrument.
QLayout* TForm1::MakeHeader(QWidget* central)
{
    auto* header = new QHBoxLayout;
    m_image1 = new ClickableLogo(central);
    m_image1->setObjectName(QStringLiteral("Image1"));
    auto* label2 = new QLabel(QStringLiteral("KELM Electronic GmbH"), central);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setStyleSheet(QStringLiteral("color: blue; font-size: 20px; font-weight: bold;"));
    m_label15 = new QLabel(QStringLiteral("---"), central);
    m_label15->setObjectName(QStringLiteral("Label15"));
    m_label15->setStyleSheet(QStringLiteral("color: green; font-size: 20px; font-weight: bold;"));
    header->addWidget(m_image1);
    header->addSpacing(12);
    header->addWidget(label2);
    header->addStretch();
    header->addWidget(m_label15);
    return header;
}

// Measure: seven rows per phase and the two indicators.
QLayout* TForm1::MakeMeasureGrid(QWidget* central)
{
    auto* measure = new QGridLayout;
    auto* measureTitle = new QLabel(QStringLiteral("Measure:"), central);
    measureTitle->setStyleSheet(QStringLiteral("font-weight: bold;"));
    measure->addWidget(measureTitle, 0, 0, 1, 4);
    for (int phase = 0; phase < 3; ++phase) {
        measure->addWidget(new QLabel(QStringLiteral("Phase %1:").arg(phase + 1), central), 1,
                           phase + 1);
        for (int row = 0; row < 7; ++row) {
            if (phase == 0)
                measure->addWidget(Caption(QString::fromLatin1(kMeasureRows[row]), central),
                                   row + 2, 0);
            measure->addWidget(
                ValueField(QString::fromLatin1(kPhaseFields[phase][row]), kMeasuredStyle, central),
                row + 2, phase + 1);
        }
        auto indicator = [&](const QString& name, const QString& caption, int row) {
            auto* b = Button(name, caption, central);
            b->setFocusPolicy(Qt::NoFocus);
            b->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
            measure->addWidget(b, row, phase + 1);
            return b;
        };
        m_ccIndicators[phase] =
            indicator(QStringLiteral("BitBtn%1").arg(11 + phase), QStringLiteral("C.C."), 9);
        m_olIndicators[phase] =
            indicator(QStringLiteral("BitBtn%1").arg(14 + phase), QStringLiteral("O.L."), 10);
    }
    return measure;
}

// Setting: the common set values; the per-phase ones come beside them.
QLayout* TForm1::MakeSettingGrid(QWidget* central)
{
    auto* setting = new QGridLayout;
    auto* settingTitle = new QLabel(QStringLiteral("Setting:"), central);
    settingTitle->setStyleSheet(QStringLiteral("font-weight: bold;"));
    setting->addWidget(settingTitle, 0, 0, 1, 2);
    m_label1 = new QLabel(QStringLiteral("Phase 1:"), central);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label28 = new QLabel(QStringLiteral("Phase 1,2,3:"), central);
    m_label28->setObjectName(QStringLiteral("Label28"));
    setting->addWidget(m_label1, 1, 1);
    setting->addWidget(m_label28, 1, 1);
    for (int row = 0; row < 8; ++row) {
        setting->addWidget(Caption(QString::fromUtf8(kCommonCaptions[row]), central), row + 2, 0);
        setting->addWidget(ValueField(QString::fromLatin1(kCommonFields[row]), kSetStyle, central),
                           row + 2, 1);
    }
    setting->setRowStretch(10, 1);
    return setting;
}

// The per-phase set values, three rows of each.
QLayout* TForm1::MakePerPhaseGrid(QWidget* central)
{
    auto* perPhase = new QGridLayout;
    perPhase->setVerticalSpacing(2);
    for (int group = 0; group < 5; ++group)
        for (int phase = 1; phase <= 3; ++phase) {
            const int row = group * 3 + phase - 1;
            perPhase->addWidget(Caption(QString::fromUtf8(kPerPhaseCaptions[group]) +
                                            QStringLiteral(" %1:").arg(phase),
                                        central),
                                row, 0);
            perPhase->addWidget(
                ValueField(QStringLiteral("Edit%1").arg(kPerPhaseFirstEdit[group] + phase - 1),
                           kPerPhaseStyle, central),
                row, 1);
        }
    perPhase->setRowStretch(15, 1);
    return perPhase;
}

void TForm1::MakeButtons(QWidget* central)
{
    m_ipClear = Button(QStringLiteral("IpClearButton"), QStringLiteral("IP-Clear"), central);
    m_ipAutoOff = Button(QStringLiteral("IpAutoOffButton"), QStringLiteral("IP-Auto OFF"), central);
    m_ipAutoOn = Button(QStringLiteral("IpAutoOnButton"), QStringLiteral("IP-Auto ON "), central);
    m_irmsX10 = Button(QStringLiteral("IrmsX10Button"), QStringLiteral("Irms x10"), central);
    m_irmsX1 = Button(QStringLiteral("IrmsX1Button"), QStringLiteral("Irms x1"), central);
    m_auxOn = Button(QStringLiteral("AuxOnButton"), QStringLiteral("AUX ON  "), central);
    m_auxOff = Button(QStringLiteral("AuxOffButton"), QStringLiteral("AUX OFF   "), central);
    m_phaseOn = Button(QStringLiteral("PhaseOnButton"), QStringLiteral("Phase ON"), central);
    m_phaseOff = Button(QStringLiteral("PhaseOffButton"), QStringLiteral("Phase OFF"), central);
    m_outputOn = Button(QStringLiteral("OutputOnButton"), QStringLiteral("Output  ON"), central);
    m_outputOff = Button(QStringLiteral("OutputOffButton"), QStringLiteral("Output OFF"), central);
    m_connect = Button(QStringLiteral("BitBtn7"), QStringLiteral("Connect"), central);
    m_connect->setStyleSheet(QStringLiteral("color: green; font-weight: bold;"));
    m_disconnect = Button(QStringLiteral("BitBtn8"), QStringLiteral("Disconnect"), central);
    m_disconnect->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    m_rclState = Button(QStringLiteral("RclStateButton"), QStringLiteral("RCL State"), central);
    m_savState = Button(QStringLiteral("SavStateButton"), QStringLiteral("SAV State"), central);
    m_rclState0 = Button(QStringLiteral("RclState0Button"), QStringLiteral("RCL State 0"), central);
    m_ot1Off = Button(QStringLiteral("Ot1OffButton"), QStringLiteral("OT1 Off"), central);
    m_ot1On = Button(QStringLiteral("Ot1OnButton"), QStringLiteral("OT1 ON"), central);
    m_quit = Button(QStringLiteral("Button20"), QStringLiteral("QUIT"), central);
    m_edit3 = new QLineEdit(QStringLiteral("0"), central);
    m_edit3->setObjectName(QStringLiteral("Edit3"));
    m_edit3->setMaximumWidth(50);
}

// The buttons in two rows, each pair in one place.
QLayout* TForm1::MakeButtonRows(QWidget* central)
{
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(8);
    const std::initializer_list<QWidget*> firstRow = {m_ipClear,
                                                      PairPlace(m_ipAutoOff, m_ipAutoOn, central),
                                                      PairPlace(m_irmsX10, m_irmsX1, central),
                                                      PairPlace(m_auxOn, m_auxOff, central),
                                                      PairPlace(m_phaseOn, m_phaseOff, central),
                                                      PairPlace(m_outputOn, m_outputOff, central),
                                                      PairPlace(m_connect, m_disconnect, central)};
    int col = 0;
    for (QWidget* w : firstRow)
        buttons->addWidget(w, 0, col++);
    auto* stateNr = new QLabel(QStringLiteral("State Nr.:"), central);
    stateNr->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* statePlace = new QHBoxLayout;
    statePlace->addWidget(stateNr);
    statePlace->addWidget(m_edit3);
    buttons->addLayout(statePlace, 1, 0);
    col = 1;
    for (QWidget* w : {static_cast<QWidget*>(m_rclState), static_cast<QWidget*>(m_savState),
                       static_cast<QWidget*>(m_rclState0), PairPlace(m_ot1Off, m_ot1On, central)})
        buttons->addWidget(w, 1, col++);
    buttons->addWidget(m_quit, 1, 6);
    for (int c = 0; c < 7; ++c)
        buttons->setColumnStretch(c, 1);
    return buttons;
}
