#pragma once

#include "common/program_places.h"
#include "rack/rack_window.h"
#include "results/results_store.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// The rack window over tavsim processes in a port sandbox, its table and reports in a folder of
// the test's own.
class RackWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The window keeps its reports folder with the program's settings: the test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        places.WritableDirectory = dir.filePath("program");
        ASSERT_TRUE(QDir().mkpath(places.WritableDirectory));
        results = std::make_unique<ResultsStore>(dir.filePath("journal.sqlite"));
        window = std::make_unique<RackWindow>(*results, places);
        window->SetReportFolder(dir.filePath("reports"));
        grid = window->SlotGrid();
    }

    std::unique_ptr<TavsimProcess> Sim(int port, const QStringList& extra = {})
    {
        auto sim = std::make_unique<TavsimProcess>(
            QString::fromStdString(sandbox.LinkDir()) + QStringLiteral("/COM%1").arg(port),
            dir.filePath(QStringLiteral("sim%1.log").arg(port)), extra);
        EXPECT_TRUE(sim->Ready());
        return sim;
    }

    QString WriteTable(const QByteArray& rows)
    {
        QFile table(dir.filePath("unit.tst"));
        EXPECT_TRUE(table.open(QIODevice::WriteOnly));
        table.write(
            "Test-File:\r\nReporter:;Line 3\r\nUnit:;TAV 1600\r\nSerial #:;0505000120\r\n\r\n" +
            rows);
        return table.fileName();
    }

    QString Cell(int row, int column) const
    {
        return grid->item(row, column) ? grid->item(row, column)->text() : QString();
    }
    void Type(int row, int column, const QString& text)
    {
        grid->setItem(row, column, new QTableWidgetItem(text));
    }
    void StartAndWait()
    {
        window->findChild<QPushButton*>("StartAllButton")->click();
        ASSERT_TRUE(window->Running());
        ASSERT_TRUE(WaitUntil([&] { return !window->Running(); }, 30000));
    }
    QString SavedFolder() const
    {
        return QSettings(dir.filePath("config/tavcontrol/tavcontrol.conf"), QSettings::IniFormat)
            .value("rack/reports")
            .toString();
    }
    QStringList Reports() const
    {
        return QDir(dir.filePath("reports")).entryList({"*.rpt"}, QDir::Files);
    }

    PortSandbox sandbox;
    QTemporaryDir dir;
    ProgramPlaces places;
    std::unique_ptr<ResultsStore> results;
    std::unique_ptr<RackWindow> window;
    QTableWidget* grid = nullptr;
};

// Sets 230 V, checks the current (4.600 A on 50 ohm; 4.792 A on 48 ohm: "Error!").
inline const QByteArray kCurrentRows = " 1;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1\r\n"
                                       " 2;00.00.00.200;OUTP,1;0;0;0;;;;1\r\n"
                                       " 3;00.00.00.300;MEAS:CURR?;NEXT;0;NEXT;4.5;4.7;I;1\r\n"
                                       " 4;00.00.00.100;OUTP,0;0;0;0;;;;1\r\n"
                                       " 5;00.00.00.000;END;0;0;0;;;;1\r\n";
