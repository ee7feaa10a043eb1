// The report file and the text export, written from and read into the report model.
#include "autotest/report_file.h"
#include "autotest/report_text.h"
#include "tests/autotest/small_table.h"
#include "tests/support/file_bytes.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/qt_print.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const TestHeader kHeader{"Prüfer", "Prüfling µ", "0505000120"};

// Three results as a run leaves them: each row written, then the count after it.
ResultTable ThreeResults()
{
    ResultTable results;
    const QList<QStringList> rows = {{" 1", "UAC 230", "225", "229.8", "235", ""},
                                     {" 2", "I µA", "4.5", "4.8", "4.7", "Error!"},
                                     {" 3", "", "", "", "", ""}};
    for (int r = 1; r <= rows.size(); ++r) {
        results.SetRow(r, rows[r - 1]);
        results.SetRowCount(r + 1);
    }
    return results;
}

QByteArray Latin1(const char* utf8) { return QString::fromUtf8(utf8).toLatin1(); }

class ReportFile : public ::testing::Test {
protected:
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(ReportFile, SavedReportHasTheHeaderThenOneLinePerResult)
{
    const QString path = Path("a.rpt");
    ASSERT_TRUE(SaveReport(path, kHeader, "07.05.2024", ThreeResults()));
    const QByteArray expected = Latin1("Test-Report:\r\n"
                                       "Reporter:;Prüfer\r\n"
                                       "Unit:;Prüfling µ\r\n"
                                       "Serial #:;0505000120\r\n"
                                       "Date:;07.05.2024\r\n"
                                       "\r\n"
                                       "Step;Comment;Lower Limit;Test Result;Upper Limit;Mark\r\n"
                                       " 1;UAC 230;225;229.8;235;\r\n"
                                       " 2;I µA;4.5;4.8;4.7;Error!\r\n"
                                       " 3;;;;;\r\n");
    EXPECT_EQ(ReadFileBytes(path), expected);
    EXPECT_EQ(ReadFileBytes(path).count("\r\n"), 10);

    // Before any run the table holds its one empty row.
    ASSERT_TRUE(SaveReport(path, TestHeader(), "07.05.2024", ResultTable()));
    EXPECT_TRUE(ReadFileBytes(path).endsWith("Upper Limit;Mark\r\n;;;;;\r\n"));
    EXPECT_EQ(ReadFileBytes(path).count("\r\n"), 8);
}

TEST_F(ReportFile, OpenThenSaveGivesTheSameFileWithTodaysDate)
{
    const QString first = Path("first.rpt");
    ASSERT_TRUE(SaveReport(first, kHeader, "01.02.2023", ThreeResults()));

    ResultTable results; // as a fresh window has it
    const std::optional<ReportFileHeader> read = OpenReport(first, results);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->Header, kHeader);
    EXPECT_EQ(read->Date, "01.02.2023");
    EXPECT_EQ(AllRows(results), AllRows(ThreeResults()));

    const QString second = Path("second.rpt");
    ASSERT_TRUE(SaveReport(second, read->Header, "07.05.2024", results));
    QList<QByteArray> a = ReadFileBytes(first).split('\n');
    QList<QByteArray> b = ReadFileBytes(second).split('\n');
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a[4], "Date:;01.02.2023\r");
    EXPECT_EQ(b[4], "Date:;07.05.2024\r");
    a.removeAt(4);
    b.removeAt(4);
    EXPECT_EQ(a, b);
}

// Files written elsewhere or by hand: header values end at their second ';', a line of five
// separators is six empty cells, the mark keeps what follows the fifth ';', a short line fills
// what it has, and the table ends with the file's last row.
TEST_F(ReportFile, OpenReadsFieldsByTheirSeparators)
{
    const QString path = Path("hand.rpt");
    ASSERT_TRUE(WriteFileBytes(path, "Anything\r\n"
                                     "Reporter:;Kelm;extra\r\n"
                                     "Unit\r\n"
                                     "Serial #:;;12\n"
                                     "Date:;01.02.2023\r\n"
                                     "\r\n"
                                     "ignored;captions\r\n"
                                     ";;;;;\r\n"
                                     " 7;a;1;2;3;Error!;more;x\r\n"
                                     "only;two"));
    ResultTable results = ThreeResults();
    results.SetRowCount(10);
    const std::optional<ReportFileHeader> read = OpenReport(path, results);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->Header, (TestHeader{"Kelm", "", ""}));
    EXPECT_EQ(read->Date, "01.02.2023");
    EXPECT_EQ(AllRows(results), (QList<QStringList>{ResultTable::Captions(),
                                                    {"", "", "", "", "", ""},
                                                    {" 7", "a", "1", "2", "3", "Error!;more;x"},
                                                    {"only", "two", "", "", "", ""}}));
}

TEST_F(ReportFile, OpenWithoutResultLinesKeepsTheTable)
{
    const QString path = Path("short.rpt");
    ASSERT_TRUE(WriteFileBytes(path, "Test-Report:\r\nReporter:;R\r\n"));
    ResultTable results = ThreeResults();
    const std::optional<ReportFileHeader> read = OpenReport(path, results);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->Header, (TestHeader{"R", "", ""}));
    EXPECT_EQ(read->Date, "");
    EXPECT_EQ(AllRows(results), AllRows(ThreeResults()));

    QString error;
    EXPECT_FALSE(OpenReport(Path("missing.rpt"), results, &error).has_value());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(AllRows(results), AllRows(ThreeResults()));
}

TEST_F(ReportFile, TextExportQuotesTextsButNotNumbers)
{
    const QString path = Path("a.txt");
    ResultTable results;
    results.SetRow(1, {" 5", "UAC 230", "225", "229.8", "235", ""});
    ASSERT_TRUE(ExportReportText(path, kHeader, "07.05.2024", results));
    EXPECT_EQ(
        ReadFileBytes(path),
        Latin1("\"Test-Report:\"\r\n"
               "\"Reporter:\";\"Prüfer\"\r\n"
               "\"Unit:\";\"Prüfling µ\"\r\n"
               "\"Serial #:\";\"0505000120\"\r\n"
               "\"Date:\";\"07.05.2024\"\r\n"
               "\r\n"
               "\"Step\";\"Comment\";\"Lower Limit\";\"Test Result\";\"Upper Limit\";\"Mark\"\r\n"
               " 5;\"UAC 230\";225;229.8;235;\"\"\r\n"));
}

// The export read back by a real CSV reader (Python's csv module): texts and a reply holding
// quotes, ';' and ',' come back field by field as the report holds them.
TEST_F(ReportFile, TextExportReadsBackInACsvReader)
{
    const QString path = Path("quotes.txt");
    const TestHeader header{"K \"E\"; M, N", "\"Unit\"", "0505"};
    ResultTable results;
    const QStringList row = {
        " 1", "say \"hi\"; a, b", "1.000", ReportValueText("\"1.5\";2,5"), "3.000", "Error!"};
    results.SetRow(1, row);
    ASSERT_TRUE(ExportReportText(path, header, "07.05.2024", results));

    QProcess python;
    python.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
                             "    print(json.dumps(list(csv.reader(f, delimiter=';'))))\n",
                             path});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray lines = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QList<QStringList> read;
    for (const QJsonValue& line : lines)
        read << line.toVariant().toStringList();
    const QList<QStringList> expected = {
        {"Test-Report:"},           {"Reporter:", header.ReporterText},
        {"Unit:", header.UnitText}, {"Serial #:", header.SerialText},
        {"Date:", "07.05.2024"},    {},
        ResultTable::Captions(),    row};
    EXPECT_EQ(read, expected);
    EXPECT_EQ(row[ResultTable::kTestResult], "\"1.5\",2,5");
}

// A save that fails part-way leaves the earlier file whole and says why.
TEST_F(ReportFile, FailedWritesKeepTheEarlierFiles)
{
    const QString report = Path("big.rpt");
    const QString text = Path("big.txt");
    ASSERT_TRUE(SaveReport(report, kHeader, "07.05.2024", ThreeResults()));
    ASSERT_TRUE(ExportReportText(text, kHeader, "07.05.2024", ThreeResults()));
    const QByteArray oldReport = ReadFileBytes(report);
    const QByteArray oldText = ReadFileBytes(text);

    ResultTable many;
    for (int r = 1; r <= 300; ++r)
        many.SetRow(r, {QString::number(r), "a comment of some length", "1", "2", "3", ""});
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.Active());
    QString error;
    EXPECT_FALSE(SaveReport(report, kHeader, "07.05.2024", many, &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(ExportReportText(text, kHeader, "07.05.2024", many, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadFileBytes(report), oldReport);
    EXPECT_EQ(ReadFileBytes(text), oldText);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "no temporary file left";
}

// The table keeps a cell as a number only when it gives back the very text written, and its
// pool of texts, rebuilt after a long report, still gives every kept row back.
TEST_F(ReportFile, CellsReadBackAsWrittenWhateverTheyHold)
{
    const QStringList texts = {"230.000",
                               "-0.500",
                               "0",
                               "12",
                               "-0.000",
                               "-0",
                               "007",
                               "00.5",
                               "1.",
                               ".5",
                               "+1",
                               "1e5",
                               " 1",
                               "1.5,2.5",
                               "134217.727",
                               "-134217.727",
                               "134217.728",
                               "999999999",
                               "0.0000001",
                               "0.00000001",
                               "1234567890123",
                               "Error!",
                               "no reply",
                               "Prüfling µ",
                               "230.0V",
                               QString::fromUtf8("\u2126"),
                               ""};
    ResultTable results;
    for (int r = 0; r < texts.size(); ++r)
        results.SetRow(r + 1, {" 1", texts[r], texts[r], texts[r], texts[r], texts[r]});
    for (int r = 0; r < texts.size(); ++r)
        EXPECT_EQ(results.Row(r + 1),
                  QStringList({" 1", texts[r], texts[r], texts[r], texts[r], texts[r]}))
            << texts[r].toStdString();
    // Failed: marked "Error!", or a value of "no reply".
    for (int r = 0; r < texts.size(); ++r)
        EXPECT_EQ(results.RowFailed(r + 1), texts[r] == "Error!" || texts[r] == "no reply")
            << texts[r].toStdString();

    // A long report of texts seen once each, then a short one over it: the rows kept and the
    // rows written afterwards read back as written.
    ResultTable long_;
    for (int r = 1; r <= 10000; ++r)
        long_.SetRow(r, {QString::number(r), "t" + QString::number(r), "1", "2", "3", ""});
    long_.SetRowCount(4);
    long_.SetRow(4, {" 4", "t2", "1", "no reply", "3", "Error!"});
    EXPECT_EQ(AllRows(long_), (QList<QStringList>{ResultTable::Captions(),
                                                  {"1", "t1", "1", "2", "3", ""},
                                                  {"2", "t2", "1", "2", "3", ""},
                                                  {"3", "t3", "1", "2", "3", ""},
                                                  {" 4", "t2", "1", "no reply", "3", "Error!"}}));
    EXPECT_TRUE(long_.RowFailed(4));
    EXPECT_FALSE(long_.RowFailed(3));
}
