// A recorder that never ends by itself: records rows into argv[1] as fast as it can and says
// "ready" on standard output after the first hundred, so a test can kill it mid-row.
#include "record/csv_recorder.h"

#include <QString>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    CsvRecorder recorder;
    if (!recorder.Start(QString::fromLocal8Bit(argv[1])))
        return 1;
    MeasurementRow row;
    row.phases = 3;
    row.output = 1;
    row.statusWord = 0;
    for (long i = 0;; ++i) {
        for (auto& phase : row.values)
            for (double& v : phase)
                v = static_cast<double>(i % 1000) / 7.0;
        row.time = QDateTime::currentDateTime();
        row.micros = i * 660000;
        if (!recorder.Append(row))
            return 1;
        if (i == 100) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
