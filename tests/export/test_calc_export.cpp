// The report export into a real LibreOffice Calc, started headless by the test, through the
// plugin the program loads; a second UNO connection reads the cells back.
#include "autotest/result_table.h"
#include "export/calc/calc_connection.h"
#include "export/calc_plugin_automation.h"
#include "export/export_settings.h"
#include "export/spreadsheet_export.h"
#include "program/program_state.h"
#include "tests/export/calc_instance.h"
#include "tests/support/file_bytes.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace {

// A bound for failures only: a cold LibreOffice start on a busy machine takes some seconds.
constexpr auto kStartLimit = std::chrono::seconds(90);

// The office on its pipe, waited for while it runs. When it ends first, LibreOffice cannot start
// on this machine (no display-less backend, a broken installation): `skip` says so, and the
// test has nothing to test. An office that runs but never answers is a failure.
Reference<uno::XComponentContext> WaitForOffice(CalcInstance& instance, std::string& skip)
{
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        // An office still starting may take the connection and then drop it: on a busy
        // machine that window is wide. It is asked again.
        try {
            if (auto office = calc::JoinOffice(instance.PipeName()); office.is())
                return office;
        } catch (const uno::Exception&) {
        }
        if (const std::string ended = instance.Ended(); !ended.empty()) {
            skip = "LibreOffice cannot start here: soffice ended (" + ended +
                   ") before it listened on pipe " + instance.PipeName();
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
}

Reference<lang::XComponent> Load(const Reference<uno::XComponentContext>& office,
                                 const OUString& url)
{
    const Reference<frame::XComponentLoader> loader(calc::Desktop(office), UNO_QUERY_THROW);
    uno::Sequence<beans::PropertyValue> args(1);
    args.getArray()[0].Name = "Hidden";
    args.getArray()[0].Value <<= true;
    return loader->loadComponentFromURL(url, "_default", 0, args);
}

// An empty workbook saved as .xlsx, and closed again.
void MakeWorkbook(const Reference<uno::XComponentContext>& office, const std::string& path)
{
    const Reference<lang::XComponent> doc = Load(office, "private:factory/scalc");
    uno::Sequence<beans::PropertyValue> args(1);
    args.getArray()[0].Name = "FilterName";
    args.getArray()[0].Value <<= OUString("Calc MS Excel 2007 XML");
    Reference<frame::XStorable>(doc, UNO_QUERY_THROW)->storeToURL(calc::FileUrl(path), args);
    Reference<util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
}

// One environment variable for the lifetime of the object; the office the plugin starts
// inherits it.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QString& value) : m_name(name)
    {
        if (const char* old = getenv(name))
            m_old = old, m_had = true;
        setenv(name, value.toLocal8Bit().constData(), 1);
    }
    ~EnvironmentOverride() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

QString Sha(const QString& path)
{
    return QCryptographicHash::hash(ReadFileBytes(path), QCryptographicHash::Sha256).toHex();
}

// The report of three rows with the settings R = 5, C = 2 for the workbook.
class CalcExportTest : public ::testing::Test {
protected:
    void Settle(const QString& workbook, const std::string& pipe)
    {
        S.Places.WritableDirectory = dir.path();
        S.Export.ExportRowText = QStringLiteral("5");
        S.Export.ExportColumnText = QStringLiteral("2");
        S.Export.WorkbookPath = workbook;
        ASSERT_TRUE(WriteExportSettings(S.Export, ExportSettingsPath(dir.path())));
        S.Export.Spreadsheet = [pipe] {
            return std::make_unique<CalcPluginAutomation>(QString::fromLatin1(TAV_CALC_PLUGIN_FILE),
                                                          QString::fromStdString(pipe));
        };
        S.Places.StartDate = QStringLiteral("07.12.2026");
        results.WriteCaptions();
        for (int k = 1; k <= 3; ++k)
            results.SetRow(k, {QString::number(k), QStringLiteral("Ü-Messung %1").arg(k), "1.5",
                               "230", "240", k == 2 ? "FAIL" : "OK"});
    }

    // B5:G14 of the open workbook, read through a connection of the test's own.
    void ExpectReportCells(const Reference<uno::XComponentContext>& reader, const QString& book)
    {
        const Reference<lang::XComponent> doc = Load(reader, calc::FileUrl(book.toStdString()));
        const Reference<table::XCellRange> range =
            calc::ActiveSheet(doc)->getCellRangeByPosition(1, 4, 6, 13);
        const uno::Sequence<uno::Sequence<uno::Any>> data =
            Reference<sheet::XCellRangeData>(range, UNO_QUERY_THROW)->getDataArray();
        auto text = [&data](int row, int column) {
            OUString s;
            data[row - 5][column - 2] >>= s;
            return QString::fromStdString(calc::Utf8(s));
        };
        EXPECT_EQ(text(5, 2), QStringLiteral("Test-Report:"));
        EXPECT_EQ(text(5, 3), QString());
        EXPECT_EQ(text(6, 3), QStringLiteral("KELM-Electronic"));
        EXPECT_EQ(text(9, 2), QStringLiteral("Date:"));
        EXPECT_EQ(text(9, 3), QStringLiteral("07.12.2026"));
        EXPECT_EQ(text(10, 2), QString());
        EXPECT_EQ(text(11, 5), QStringLiteral("Test Result"));
        EXPECT_EQ(text(13, 3), QStringLiteral("Ü-Messung 2"));
        EXPECT_EQ(text(13, 7), QStringLiteral("FAIL"));
        // Written as text: a number-looking value is not turned into a number.
        EXPECT_EQ(data[14 - 5][4 - 2].getValueTypeClass(), uno::TypeClass_STRING);
        EXPECT_EQ(text(14, 4), QStringLiteral("1.5"));
    }

    QTemporaryDir dir;
    ProgramState S;
    ResultTable results;
};

TEST_F(CalcExportTest, ReportLandsInTheOpenWorkbookAndNothingIsSaved)
{
    const std::string pipe = "tavtest" + std::to_string(getpid());
    CalcInstance calcInstance(pipe, dir.filePath(QStringLiteral("profile")).toStdString());
    ASSERT_TRUE(calcInstance.Started());
    std::string skip;
    const Reference<uno::XComponentContext> reader = WaitForOffice(calcInstance, skip);
    if (!skip.empty())
        GTEST_SKIP() << skip;
    ASSERT_TRUE(reader.is()) << "LibreOffice runs but did not answer on pipe " << pipe;

    const QString book = dir.filePath(QStringLiteral("report.xlsx"));
    MakeWorkbook(reader, book.toStdString());
    const QString before = Sha(book);
    ASSERT_FALSE(ReadFileBytes(book).isEmpty());
    Settle(book, pipe);
    EXPECT_EQ(SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, results),
              QStringList());
    ExpectReportCells(reader, book);
    // A second export goes into the same open workbook, not a read-only copy.
    EXPECT_EQ(SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, results),
              QStringList());
    ExpectReportCells(reader, book);
    EXPECT_EQ(Sha(book), before) << "the workbook on disk was changed";
}

TEST_F(CalcExportTest, StartsCalcWhenNoneListensAndLeavesItRunning)
{
    const std::string tag = std::to_string(getpid());
    // An office that a killed earlier run made the program start is still about.
    KillOfficesOnPipes("tavstart", IsNotRunning);
    const QString book = dir.filePath(QStringLiteral("report.xlsx"));
    {
        CalcInstance maker("tavmaker" + tag, dir.filePath(QStringLiteral("maker")).toStdString());
        std::string skip;
        const Reference<uno::XComponentContext> office = WaitForOffice(maker, skip);
        if (!skip.empty())
            GTEST_SKIP() << skip;
        ASSERT_TRUE(office.is()) << "LibreOffice runs but did not answer on pipe "
                                 << maker.PipeName();
        MakeWorkbook(office, book.toStdString());
    }
    const QString before = Sha(book);
    const std::string pipe = "tavstart" + tag;
    ASSERT_FALSE(calc::JoinOffice(pipe).is());

    // The started office keeps its profile below the test's folder and draws with its own
    // display-less backend instead of on the operator's screen.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("home")));
    const EnvironmentOverride home("HOME", dir.filePath(QStringLiteral("home")));
    const EnvironmentOverride backend("SAL_USE_VCLPLUGIN", QStringLiteral("svp"));
    Settle(book, pipe);
    EXPECT_EQ(SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, results),
              QStringList());

    // Still running after the export, with the workbook open and filled.
    const Reference<uno::XComponentContext> reader = calc::JoinOffice(pipe);
    ASSERT_TRUE(reader.is()) << "the office the export started is gone";
    ExpectReportCells(reader, book);
    EXPECT_EQ(Sha(book), before) << "the workbook on disk was changed";
    // The program's output (ctest's pipes here) is not held open by the office, which
    // outlives the program.
    const std::vector<pid_t> offices = OfficesOnPipes("tavstart", IsThisProcess);
    EXPECT_FALSE(offices.empty());
    for (const pid_t office : offices)
        for (int fd = 1; fd <= 2; ++fd)
            if (FileOf(getpid(), fd) != "/dev/null") {
                EXPECT_NE(FileOf(office, fd), FileOf(getpid(), fd))
                    << "fd " << fd << " of " << office;
            }
    EXPECT_GT(KillOfficesOnPipes("tavstart", IsThisProcess), 0);
}

} // namespace
