#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class ResultsStore;

// "Setup" > "Results…": the station's name and the line's results server as a libpq URI, with
// "Test connection". A new station name (the journal is named by it) holds from the program's
// next start.
// The URI is kept in the program's settings; a password belongs in ~/.pgpass or PGPASSWORD,
// never in the settings file, and one typed into the URI is refused.
class ResultsSetupWindow : public QDialog {
    Q_OBJECT

public:
    ResultsSetupWindow(ResultsStore& store, QWidget* parent = nullptr);

    // The URI kept in the settings (empty: the journal alone).
    static QString SavedServer();
    static void SaveServer(const QString& uri);

    // "OK": checks, keeps and takes the URI.
    bool Apply();
    void TestClick();

private:
    void ShowStatus();

    ResultsStore& m_store;
    QLineEdit* m_station = nullptr;
    QLineEdit* m_uri = nullptr;
    QCheckBox* m_calibration = nullptr;
    QLabel* m_status = nullptr;
};
