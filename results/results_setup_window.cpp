#include "results/results_setup_window.h"

#include "results/instrument_list.h"

#include "results/results_database.h"
#include "results/results_store.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

QString ResultsSetupWindow::SavedServer() { return ResultsDatabase::SavedServer(); }

void ResultsSetupWindow::SaveServer(const QString& uri) { ResultsDatabase::SaveServer(uri); }

ResultsSetupWindow::ResultsSetupWindow(ResultsStore& store, QWidget* parent)
    : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("ResultsSetup"));
    setWindowTitle(QStringLiteral("Results"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* journal = new QLabel(QDir::toNativeSeparators(store.JournalPath()), this);
    journal->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("Station journal:"), journal);
    m_station = new QLineEdit(store.Station(), this);
    m_station->setObjectName(QStringLiteral("StationName"));
    m_station->setToolTip(QStringLiteral("The name the runs are recorded as and the journal is "
                                         "named by; empty: the host name"));
    form->addRow(QStringLiteral("Station name:"), m_station);
    m_uri = new QLineEdit(store.Server(), this);
    m_uri->setObjectName(QStringLiteral("ServerUri"));
    m_uri->setPlaceholderText(QStringLiteral("postgresql://user@host/database"));
    m_uri->setMinimumWidth(420);
    form->addRow(QStringLiteral("Line server (URI):"), m_uri);
    m_calibration = new QCheckBox(QStringLiteral("Refuse a run whose instruments are not shown "
                                                 "in calibration"),
                                  this);
    m_calibration->setObjectName(QStringLiteral("RequireCalibration"));
    m_calibration->setChecked(InstrumentList::CalibrationRequired());
    m_calibration->setToolTip(QStringLiteral("The list: tavtest instruments; otherwise a run on "
                                             "an instrument past its day is only warned of"));
    form->addRow(QStringLiteral("Calibration:"), m_calibration);
    layout->addLayout(form);
    auto* note = new QLabel(QStringLiteral("Empty: the runs stay in this station's journal. A "
                                           "password goes into ~/.pgpass or PGPASSWORD."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("ServerStatus"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* test =
        buttons->addButton(QStringLiteral("Test connection"), QDialogButtonBox::ActionRole);
    test->setObjectName(QStringLiteral("TestConnection"));
    layout->addWidget(buttons);
    connect(test, &QPushButton::clicked, this, &ResultsSetupWindow::TestClick);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (Apply())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_store, &ResultsStore::ServerTested, this,
            [this](const QString& uri, const QString& error) {
                if (uri != m_uri->text().trimmed())
                    return;
                m_status->setText(
                    error.isEmpty()
                        ? QStringLiteral("Connected: %1").arg(ResultsDatabase::ShownUri(uri))
                        : error);
            });
    ShowStatus();
}

void ResultsSetupWindow::ShowStatus()
{
    const ResultsStore::Status s = m_store.CurrentStatus();
    QString text = QStringLiteral("%1 run(s) waiting to be sent.").arg(s.Unsent);
    if (!s.ServerError.isEmpty())
        text += QStringLiteral(" Last try: ") + s.ServerError;
    m_status->setText(text);
}

void ResultsSetupWindow::TestClick()
{
    const QString uri = m_uri->text().trimmed();
    QString error;
    if (!ResultsDatabase::CheckUri(uri, &error)) {
        m_status->setText(error);
        return;
    }
    m_status->setText(QStringLiteral("Connecting…"));
    m_store.TestServer(uri);
}

bool ResultsSetupWindow::Apply()
{
    const QString uri = m_uri->text().trimmed();
    QString error;
    if (!uri.isEmpty() && !ResultsDatabase::CheckUri(uri, &error)) {
        m_status->setText(error);
        return false;
    }
    if (ResultsDatabase::UriHasPassword(uri)) {
        m_status->setText(QStringLiteral("No password in the URI: the settings file is readable "
                                         "by others. Put it into ~/.pgpass or PGPASSWORD."));
        return false;
    }
    const QString station = m_station->text().trimmed();
    if (!station.isEmpty() && !ResultsDatabase::CheckStation(station, &error)) {
        m_status->setText(error);
        return false;
    }
    // The host name is kept as no name: a machine renamed (or cloned and renamed) follows.
    ResultsDatabase::SaveStation(station == ResultsDatabase::HostStation() ? QString() : station);
    SaveServer(uri);
    InstrumentList::SetCalibrationRequired(m_calibration->isChecked());
    m_store.SetServer(uri);
    m_store.Sync();
    return true;
}
