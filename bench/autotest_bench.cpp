// The test file and the step interpreter without I/O: opening and saving a 200-row test file,
// and 10 000 interpreter ticks over a 200-row table whose queries are answered at once.
// Run: build/bench/bench_autotest
#include "autotest/interpreter.h"
#include "autotest/result_table.h"
#include "autotest/run_host.h"
#include "autotest/run_link.h"
#include "autotest/run_state.h"
#include "autotest/table_file.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A table that fills all 200 rows: set values and queries by turns, a GOTO loop back to the
// top in the last row, so that a run never ends.
MemoryStepGrid FullTable()
{
    MemoryStepGrid table(kTestColumns, kTestRows);
    InitStepGrid(table, TestTableKind());
    for (int r = 1; r < 200; ++r) {
        const bool query = r % 2 == 0;
        table.SetRow(r,
                     {StepNumberText(r), "00.00.00.000",
                      query ? "MEAS:VOLT?" : "SOUR:VOLTAC," + QString::number(r), "NEXT", "0", "0",
                      query ? "225" : "", query ? "235" : "", "row " + QString::number(r), "1"});
    }
    table.SetRow(200, {"200", "00.00.00.000", "GOTO", "1", "0", "1000000", "", "", "", "1"});
    return table;
}

class QuietHost : public TestHost {
public:
    void SetTimer(bool on) override { timer = on; }
    bool TimerEnabled() const override { return timer; }
    TestOptions Options() const override { return {}; }
    TestHeader HeaderFields() const override { return {}; }
    void SetSerialField(const QString&) override {}
    void RunStarted(bool) override {}
    void ShowStepNumber(const QString&) override {}
    void ShowStepFields(const QString&, const QString&, const QString&) override {}
    void SetResultText(const QString&) override {}
    void SetResultRed(bool) override {}
    void ShowMessage(const QString&) override {}
    bool timer = false;
};

// A GPIB instrument that answers every query with the same reading.
class AnsweringLink : public TestLink {
public:
    bool SerialLink() const override { return false; }
    bool WriteInstrument(const QByteArray&, QString&) override { return true; }
    void WriteAuxiliary(int, const QByteArray&) override {}
    bool WriteMeter(const QByteArray&, QString&) override { return true; }
    int MeterPort() override { return 3; }
    bool GpibExchange(int, const QByteArray&, bool query, std::optional<QByteArray>& reply) override
    {
        if (query)
            reply = "230.0V\r\n";
        return true;
    }
};

void OpenTestFile(benchmark::State& bench)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("full.tst");
    WriteTestFile(path, TestHeader{}, FullTable());
    MemoryStepGrid table(kTestColumns, kTestRows);
    TestHeader header;
    for (auto _ : bench)
        benchmark::DoNotOptimize(ReadTestFile(path, header, table, nullptr));
}
BENCHMARK(OpenTestFile)->Unit(benchmark::kMicrosecond);

void SaveTestFile(benchmark::State& bench)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("full.tst");
    const MemoryStepGrid table = FullTable();
    for (auto _ : bench)
        benchmark::DoNotOptimize(WriteTestFile(path, TestHeader{}, table));
}
BENCHMARK(SaveTestFile)->Unit(benchmark::kMicrosecond);

void TenThousandTicks(benchmark::State& bench)
{
    const MemoryStepGrid table = FullTable();
    for (auto _ : bench) {
        TestRunState state;
        ResultTable results;
        QuietHost host;
        AnsweringLink link;
        TestInterpreter run(table, state, results, host, link);
        run.Start();
        for (int i = 0; i < 10000; ++i)
            run.Tick();
        benchmark::DoNotOptimize(results.RowCount());
    }
}
BENCHMARK(TenThousandTicks)->Unit(benchmark::kMillisecond);

} // namespace
