// Recording and trace on a GPIB link, over the simulated GPIB library loaded by name: the
// replies are read inside the tick, and still land in the pass they belong to.
#include "record/csv_recorder.h"
#include "tests/panel/gpib_panel_fixture.h"
#include "tests/record/csv_check.h"

#include <QFile>

namespace {

class GpibRecording : public GpibPanelFixture {
protected:
    static QByteArray Bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(GpibRecording, RowsPerPassAndTracedExchanges)
{
    ASSERT_TRUE(state.Trace.Open(CwdFile("gpib.trace")));
    form->BitBtn7Click();
    form->Timer1()->stop();
    const QString path = CwdFile("gpib.csv");
    ASSERT_TRUE(form->StartRecording(path));
    Ticks(13);     // identification and set values
    Ticks(11 * 3); // three passes
    form->BitBtn8Click();
    state.Trace.Close();

    const CsvCheck check = CsvCheck::Read(Bytes(path));
    ASSERT_TRUE(check.problem.isEmpty()) << check.problem.toStdString();
    ASSERT_EQ(check.rows.size(), 3);
    for (const auto& row : check.rows) {
        EXPECT_EQ(row[2], "0") << "U1 of the idle instrument, read as a number";
        EXPECT_EQ(row[23], "0") << "output off";
    }
    const QByteArray trace = Bytes(CwdFile("gpib.trace"));
    EXPECT_TRUE(trace.contains("\tTX\tGPIB5\t*idn?\\n\n"));
    EXPECT_TRUE(trace.contains("\tTX\tGPIB5\tmeas:volt?\\n\n"));
    EXPECT_TRUE(trace.contains("\tRX\tGPIB5\t0.000V\\r\\n\n"));
}

} // namespace
