#include "record/trace_option.h"

#include "record/trace_writer.h"

#include <QFile>
#include <cstring>

const char* const kTraceUsage =
    "  --trace FILE   append every line sent to or received from the instrument and the\n"
    "                 auxiliary ports to FILE, with a monotonic time in microseconds; FILE\n"
    "                 rotates to FILE.1 ... FILE.4 at 64 MiB\n";

TraceOption FindTraceOption(int argc, char** argv)
{
    TraceOption option;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--trace") == 0) {
            option.given = true;
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                option.error = QStringLiteral("--trace needs a file name");
                return option;
            }
            option.path = QFile::decodeName(argv[++i]);
        } else if (std::strncmp(arg, "--trace=", 8) == 0) {
            option.given = true;
            option.path = QFile::decodeName(arg + 8);
            if (option.path.isEmpty())
                option.error = QStringLiteral("--trace needs a file name");
        }
    }
    return option;
}

bool StartTrace(const TraceOption& option, TraceWriter& trace, QString& message)
{
    if (!option.error.isEmpty()) {
        message = option.error;
        return false;
    }
    if (!option.given)
        return true;
    if (trace.Open(option.path))
        return true;
    message = QStringLiteral("Cannot open trace file %1: %2").arg(option.path, trace.Error());
    return false;
}
