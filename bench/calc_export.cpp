// The test report export into a real LibreOffice Calc (headless, started here): a report of
// 200 result rows sent several times, once written block by block as the program does, once
// cell by cell as the automation calls would go one at a time. Prints time per export and per
// cell.
//   bench_calc_export [rounds]
#include "autotest/result_table.h"
#include "export/calc/calc_connection.h"
#include "export/calc_plugin_automation.h"
#include "export/cell_layout.h"
#include "export/export_settings.h"
#include "export/spreadsheet_export.h"
#include "program/program_state.h"
#include "tests/export/calc_instance.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace {

// Passes every cell on as a call of its own.
class CellByCell : public SpreadsheetAutomation {
public:
    explicit CellByCell(std::unique_ptr<SpreadsheetAutomation> inner) : m_inner(std::move(inner)) {}
    void Create(const QString& id) override { m_inner->Create(id); }
    void PutVisible(bool v) override { m_inner->PutVisible(v); }
    void WorkbooksOpen(const QString& path) override { m_inner->WorkbooksOpen(path); }
    void PutCellValue(int r, int c, const QString& t) override { m_inner->PutCellValue(r, c, t); }

private:
    std::unique_ptr<SpreadsheetAutomation> m_inner;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const std::string pipe = "tavbench" + std::to_string(getpid());
    CalcInstance office(pipe, dir.filePath(QStringLiteral("profile")).toStdString());
    Reference<uno::XComponentContext> context;
    for (int i = 0; i < 900 && !context.is(); ++i) {
        context = calc::JoinOffice(pipe);
        if (!context.is())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!context.is()) {
        std::fprintf(stderr, "LibreOffice does not answer on %s\n", pipe.c_str());
        return 1;
    }
    const QString book = dir.filePath(QStringLiteral("bench.xlsx"));
    {
        const Reference<frame::XComponentLoader> loader(calc::Desktop(context), UNO_QUERY_THROW);
        uno::Sequence<beans::PropertyValue> hidden(1);
        hidden.getArray()[0].Name = "Hidden";
        hidden.getArray()[0].Value <<= true;
        const Reference<lang::XComponent> doc =
            loader->loadComponentFromURL("private:factory/scalc", "_blank", 0, hidden);
        uno::Sequence<beans::PropertyValue> filter(1);
        filter.getArray()[0].Name = "FilterName";
        filter.getArray()[0].Value <<= OUString("Calc MS Excel 2007 XML");
        Reference<frame::XStorable>(doc, UNO_QUERY_THROW)
            ->storeToURL(calc::FileUrl(book.toStdString()), filter);
        Reference<util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
    }

    ProgramState S;
    S.Places.WritableDirectory = dir.path();
    S.Export.ExportRowText = QStringLiteral("1");
    S.Export.ExportColumnText = QStringLiteral("1");
    S.Export.WorkbookPath = book;
    WriteExportSettings(S.Export, ExportSettingsPath(dir.path()));
    ResultTable results;
    results.WriteCaptions();
    for (int k = 1; k <= 200; ++k)
        results.SetRow(
            k, {QString::number(k), QStringLiteral("Step %1").arg(k), "229", "230.1", "231", "OK"});
    const size_t cells =
        ReportCells(1, 1, S.Test.TestRun.Copies, S.Places.StartDate, results).size();
    const QString plugin = QString::fromLatin1(TAV_CALC_PLUGIN_FILE);

    for (const bool blocks : {true, false}) {
        S.Export.Spreadsheet = [&] {
            auto calc =
                std::make_unique<CalcPluginAutomation>(plugin, QString::fromStdString(pipe));
            return blocks ? std::unique_ptr<SpreadsheetAutomation>(std::move(calc))
                          : std::make_unique<CellByCell>(std::move(calc));
        };
        std::vector<double> ms;
        for (int r = 0; r < rounds + 1; ++r) {
            const auto start = std::chrono::steady_clock::now();
            const QStringList messages =
                SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, results);
            const auto end = std::chrono::steady_clock::now();
            if (!messages.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(messages.join('\n')));
                return 1;
            }
            if (r > 0) // the first one opens the workbook
                ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        const double median = Median(ms);
        std::printf("%-13s %zu cells: %.1f ms per export (median of %d), %.1f us per cell\n",
                    blocks ? "blocks" : "cell by cell", cells, median, rounds,
                    1000.0 * median / static_cast<double>(cells));
    }
    return 0;
}
