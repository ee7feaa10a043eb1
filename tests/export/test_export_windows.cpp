#include "autotest/table_window.h"
#include "export/export_options_window.h"
#include "export/export_settings.h"
#include "program/program_state.h"
#include "sequence/grid_widget.h"
#include "sequence/sequence_window.h"
#include "tests/export/recording_spreadsheet.h"
#include "tests/support/file_bytes.h"
#include "widgets/operator_messages.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class ExportWindowTest : public ::testing::Test {
protected:
    ExportWindowTest()
    {
        S.Places.WritableDirectory = dir.path();
        S.Places.ProgramDirectory = dir.path();
        S.Places.StartDate = QStringLiteral("07.12.2026");
        S.Export.Spreadsheet = [this] { return std::make_unique<RecordingSpreadsheet>(calls); };
        SetOperatorMessageHook([this](const QString& text) { messages << text; });
        file = ExportSettingsPath(dir.path());
    }
    ~ExportWindowTest() override
    {
        delete ExportOptionsSlot().Instance();
        SetOperatorMessageHook(nullptr);
    }
    // The hidden options window as program start makes it.
    TForm7* StartUpWindow()
    {
        ExportOptionsSlot().SetFactory(
            [this](QWidget* p) { return new TForm7(S.Export, S.Places, p); });
        ExportOptionsSlot().CreateHidden(nullptr);
        return static_cast<TForm7*>(ExportOptionsSlot().Instance());
    }
    static QStringList Fields(QWidget* w)
    {
        return {w->findChild<QLineEdit*>(QStringLiteral("WorkbookEdit"))->text(),
                w->findChild<QLineEdit*>(QStringLiteral("RowEdit"))->text(),
                w->findChild<QLineEdit*>(QStringLiteral("ColumnEdit"))->text()};
    }
    static void SetField(QWidget* w, const char* name, const QString& text)
    {
        w->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
    }
    static QByteArray Record(int32_t row, int32_t column, const QByteArray& path)
    {
        ExportRecord r;
        r.Row = row;
        r.Column = column;
        r.Path = path;
        return r.Encode();
    }
    // Clicks the button of the window; the options window it opens is read and closed by its
    // close box as soon as it shows.
    QStringList OpenOptionsBy(QWidget* window)
    {
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            if (auto* options = qobject_cast<TForm7*>(QApplication::activeModalWidget())) {
                seen = Fields(options);
                options->reject();
            }
        });
        window->findChild<QPushButton*>(QStringLiteral("ExcelOptionsButton"))->click();
        return seen;
    }

    QTemporaryDir dir;
    QString file;
    ProgramState S;
    QStringList messages;
    QStringList calls;
};

TEST_F(ExportWindowTest, FirstOpeningShowsStartUpFieldsLaterOnesReadTheFileAgain)
{
    TForm7* start = StartUpWindow();
    EXPECT_EQ(start->windowTitle(), QStringLiteral("Excel Export"));
    EXPECT_EQ(Fields(start), (QStringList{"", "", ""}));
    EXPECT_FALSE(start->findChild<QLineEdit*>(QStringLiteral("WorkbookEdit"))->isEnabled());

    TForm2 sequence(S.Link, S.Export, S.Places);
    TForm6 test(S.Link, S.Places, S.Test, S.Export); // sets the texts to "1", "1" and no workbook
    EXPECT_EQ(OpenOptionsBy(&sequence), (QStringList{"", "", ""}));
    EXPECT_EQ(ExportOptionsSlot().Instance(), nullptr);
    EXPECT_EQ(OpenOptionsBy(&test), (QStringList{"", "1", "1"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(ExportWindowTest, CloseSavesTheFieldsOrReportsTheConversionError)
{
    TForm7* window = StartUpWindow();
    window->show();
    window->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
    EXPECT_EQ(messages, QStringList{"'' ist kein gültiger Integerwert"});
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(QFile::exists(file));

    // A cell the sheet does not have is refused alike: the window stays, nothing is written.
    const std::pair<const char*, const char*> outside[] = {
        {"0", "1"}, {"-1", "1"}, {"1048577", "1"}, {"1", "0"}, {"1", "-5"}, {"1", "1025"}};
    for (const auto& [row, column] : outside) {
        messages.clear();
        SetField(window, "RowEdit", QString::fromLatin1(row));
        SetField(window, "ColumnEdit", QString::fromLatin1(column));
        window->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
        const bool rowBad = QByteArray(column) == "1";
        EXPECT_EQ(messages, QStringList{QStringLiteral("'%1' ist keine gültige %2 (1 bis %3)")
                                            .arg(QString::fromLatin1(rowBad ? row : column))
                                            .arg(rowBad ? "Zeile" : "Spalte")
                                            .arg(rowBad ? 1048576 : 1024)})
            << row << " " << column;
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(QFile::exists(file));
    }

    messages.clear();
    window->TakeWorkbook(QStringLiteral("/data/book.xlsx"));
    SetField(window, "RowEdit", QStringLiteral("1048576")); // the sheet's last cell is taken
    SetField(window, "ColumnEdit", QStringLiteral("1024"));
    window->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(ReadFileBytes(file), Record(1048576, 1024, "/data/book.xlsx"));
    window->show();
    SetField(window, "RowEdit", QStringLiteral("12"));
    SetField(window, "ColumnEdit", QStringLiteral("4"));
    window->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ReadFileBytes(file), Record(12, 4, "/data/book.xlsx"));

    // The close box keeps neither the fields nor the file.
    TForm7 again(S.Export, S.Places);
    EXPECT_EQ(Fields(&again), (QStringList{"/data/book.xlsx", "12", "4"}));
    SetField(&again, "RowEdit", QStringLiteral("99"));
    again.reject();
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("12"));
    EXPECT_EQ(ReadFileBytes(file), Record(12, 4, "/data/book.xlsx"));
}

TEST_F(ExportWindowTest, FileContentsAtStartUp)
{
    ASSERT_TRUE(WriteFileBytes(file, Record(3, 4, "/a.xls") + Record(8, 9, "/b.xls")));
    EXPECT_EQ(Fields(StartUpWindow()), (QStringList{"/b.xls", "8", "9"}));
    delete ExportOptionsSlot().Instance();

    ProgramState fresh;
    fresh.Places.WritableDirectory = dir.path();
    ASSERT_TRUE(WriteFileBytes(file, QByteArray()));
    EXPECT_EQ(Fields(std::make_unique<TForm7>(fresh.Export, fresh.Places).get()),
              (QStringList{"", "0", "0"}));

    // A cut-off file does not stop the start: its last whole record, and one message.
    ASSERT_TRUE(WriteFileBytes(file, Record(5, 6, "/c.xls") + "abc"));
    EXPECT_EQ(Fields(std::make_unique<TForm7>(fresh.Export, fresh.Places).get()),
              (QStringList{"/c.xls", "5", "6"}));
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(ExportWindowTest, UnwritableFolderKeepsTheSettingsInMemory)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("TAVCON.efg")));
    TForm7 window(S.Export, S.Places);
    EXPECT_EQ(messages.size(), 1); // the folder cannot be read as the file either
    messages.clear();
    window.show();
    SetField(&window, "RowEdit", QStringLiteral("2"));
    SetField(&window, "ColumnEdit", QStringLiteral("3"));
    window.findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("TAVCON.efg")));
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("2"));
    EXPECT_EQ(S.Export.ExportColumnText, QStringLiteral("3"));
}

TEST_F(ExportWindowTest, SendToExcelButtonsOfBothWindows)
{
    const QString book = QDir(dir.path()).filePath(QStringLiteral("b.xls"));
    ASSERT_TRUE(WriteFileBytes(book, "x"));
    TForm2 sequence(S.Link, S.Export, S.Places);
    sequence.findChild<QPushButton*>(QStringLiteral("Button9"))->click();
    EXPECT_EQ(messages, QStringList{"Excel-File konnte nicht gelesen werden!"});
    EXPECT_TRUE(calls.isEmpty());

    ASSERT_TRUE(WriteFileBytes(file, Record(3, 2, book.toUtf8())));
    messages.clear();
    sequence.Grid()->SetCell(2, 1, QStringLiteral("UAC"));
    sequence.Grid()->SetCell(3, 1, QStringLiteral("230"));
    sequence.Grid()->SetCell(2, 2, QStringLiteral("END"));
    sequence.findChild<QPushButton*>(QStringLiteral("Button9"))->click();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(sequence.Curve().Cell(2, 2), QStringLiteral("230"));
    EXPECT_TRUE(calls.contains(QStringLiteral("cell 29 5 230")));

    calls.clear();
    TForm6 test(S.Link, S.Places, S.Test, S.Export);
    test.findChild<QPushButton*>(QStringLiteral("Button13"))->click();
    EXPECT_TRUE(messages.isEmpty());
    const CellList cells = RecordingSpreadsheet::Cells(calls);
    ASSERT_GE(cells.size(), 9u);
    EXPECT_EQ(cells[0], (CellText{3, 2, "Test-Report:"}));
    EXPECT_EQ(cells[8], (CellText{7, 3, "07.12.2026"}));
    EXPECT_EQ(cells[9], (CellText{9, 2, "Step"}));
}

} // namespace
