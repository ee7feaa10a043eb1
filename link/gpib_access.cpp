#include "link/gpib_access.h"

#include "link/gpib_library.h"
#include "link/gpib_messages.h"
#include "link/line_trace.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr int kEcfg = 252;

struct StatusBit {
    int bit;
    const char* text;
};

constexpr StatusBit kStatusBits[] = {
    {0x8000, " ERR"},  {0x4000, " TMO"},   {0x2000, " END"},   {0x1000, " SRQI"},
    {0x0800, " RQS"},  {0x0400, " SPOLL"}, {0x0200, " EVENT"}, {0x0100, " CMPL"},
    {0x0080, " LOK"},  {0x0040, " REM"},   {0x0020, " CIC"},   {0x0010, " ATN"},
    {0x0008, " TACS"}, {0x0004, " LACS"},  {0x0002, " DTAS"},  {0x0001, " DCAS"},
};

struct ErrorText {
    int code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {0, " EDVR <DOS Error>"},
    {1, " ECIC <Not CIC>"},
    {2, " ENOL <No Listener>"},
    {3, " EADR <Address Error>"},
    {4, " EARG <Invalid Arguments>"},
    {5, " ESAC <Not System Controller>"},
    {6, " EABO <Operation aborted>"},
    {7, " ENEB <No GPIB board>"},
    {10, " EOIP <Async I/I in progress>"},
    {11, " ECAP <No Capability>"},
    {12, " EFSO <File Error>"},
    {14, " EBUS <Command error>"},
    {15, " ESTB <Status byte lost>"},
    {16, " ESRQ <SRQ Stuck On>"},
    {20, " ETAB <Table Overflow>"},
    {252, " ECFG <Incorrect board>"},
};

// Clears GpibBusy on the way out, also when a caller's reply handling throws; a flag left set
// would make every later exchange skip.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& m_busy;
};

} // namespace

GpibAccess::GpibAccess(const GpibLibrary& library, GpibMessages& messages)
    : m_library(library), m_messages(messages)
{}

void GpibAccess::SetDeviceNameSource(std::function<QString()> source)
{
    m_deviceName = std::move(source);
}

void GpibAccess::SetDeviceName(const QString& name)
{
    m_deviceName = [name] { return name; };
}

QString GpibAccess::DeviceName() const { return m_deviceName ? m_deviceName() : QString(); }

void GpibAccess::AppendLines(const QStringList& lines)
{
    for (const QString& line : lines)
        m_messages.AppendErrBox(line);
}

void GpibAccess::ReportUnbound()
{
    if (m_unboundReported)
        return;
    m_unboundReported = true;
    m_messages.AppendErrBox(QStringLiteral("GPIB library not available"));
}

void GpibAccess::ForgetGpibDevice() { GpibDevice = 0; }

void GpibAccess::OpenGpibDevice(int32_t address, int32_t ioType)
{
    if (GpibDevice > 0 || !m_library.Bound())
        return;
    const QString name = DeviceName();
    m_traceName =
        ioType == 1 ? QStringLiteral("GPIB:") + name : QStringLiteral("GPIB%1").arg(address);
    if (ioType == 1)
        GpibDevice = m_library.ibfind(name.toLatin1().constData());
    else if (ioType == 2)
        GpibDevice = m_library.ibdev(0, address, 0, kT10s, 1, 0);

    const int iberr = m_library.iberr();
    if (GpibDevice < 0 && iberr == 0) {
        AppendLines({
            QStringLiteral("IBFIND Couldn't find device ") + name,
            QStringLiteral("   Make sure that you have assigned the name ") + name,
            QStringLiteral("   to the meter with the CBCONF.EXE program.  Make sure that"),
            QStringLiteral("   the meter is configured for the address that you specified"),
            QStringLiteral("   with CBCONF.EXE."),
            QString(),
        });
    } else if (GpibDevice < 0 && iberr == kEcfg) {
        AppendLines({
            QStringLiteral("Board type is incorrect"),
            QStringLiteral("   The board type specified in GPIB.CFG does not match the installed"),
            QStringLiteral("   board.  Run CBCONF.EXE and check the board type that is set there."),
            QStringLiteral("   Make sure that it matches the type of board that is installed in"),
            QStringLiteral("   your system."),
            QString(),
        });
    } else {
        // Also after a lookup that failed for another reason (no board, say): that one stays
        // quiet here and shows in the status lines of the first write and read.
        m_library.ibtmo(GpibDevice, kT3s);
    }
}

void GpibAccess::GpibWrite(const QString& text)
{
    if (!m_library.Bound()) {
        ReportUnbound();
        return;
    }
    const QByteArray bytes = text.toLatin1();
    if (m_trace)
        m_trace->TraceLine(LineTrace::Direction::Sent, m_traceName, bytes);
    m_library.ibwrt(GpibDevice, bytes.constData(), bytes.size());
    if (m_library.ibcnt() != bytes.size() || (m_library.ibsta() & GpibLibrary::kErr) != 0)
        GpibReportError(QStringLiteral("IBWRT failed while writing ") + text);
}

bool GpibAccess::GpibRead(QString& text)
{
    if (!m_library.Bound()) {
        m_messages.SetMeter(QStringLiteral("---"));
        text.clear();
        ReportUnbound();
        return false;
    }
    if (GpibDevice == 0) {
        m_messages.SetMeter(QStringLiteral("---"));
        return false;
    }
    char buffer[kReadSize];
    m_library.ibrd(GpibDevice, buffer, kReadSize);
    const int count = m_library.ibcnt();
    if (count == 0 || (m_library.ibsta() & GpibLibrary::kErr) != 0) {
        m_messages.SetMeter(QStringLiteral("---"));
        GpibReportError(QStringLiteral("IBRD failed"));
        text.clear();
        return false;
    }
    const int length = static_cast<int>(strnlen(buffer, std::clamp(count, 0, kReadSize)));
    text = QString::fromLatin1(buffer, length);
    if (m_trace && m_trace->Tracing())
        m_trace->TraceLine(LineTrace::Direction::Received, m_traceName, QByteArray(buffer, length));
    return true;
}

void GpibAccess::GpibReportError(const QString& message)
{
    AppendLines(GpibErrorReport(message, m_library.ibsta(), m_library.iberr(), m_library.ibcnt()));
}

QStringList GpibAccess::GpibErrorReport(const QString& message, int ibsta, int iberr, int ibcnt)
{
    QString status = QStringLiteral("   IBSTA=");
    for (const StatusBit& s : kStatusBits) {
        if ((ibsta & s.bit) != 0)
            status += QLatin1String(s.text);
    }
    QString error = QStringLiteral("   IBERR=");
    for (const ErrorText& e : kErrorTexts) {
        if (e.code == iberr)
            error += QLatin1String(e.text);
    }
    return {message, status, error, QStringLiteral("   IBCNT=") + QString::number(ibcnt)};
}

void GpibAccess::DeviceClearAndLocal()
{
    if (!m_library.Bound()) {
        ReportUnbound();
        return;
    }
    m_library.ibclr(GpibDevice);
    m_library.ibloc(GpibDevice);
}

void GpibAccess::GpibPreparation(int32_t address, int32_t ioType)
{
    OpenGpibDevice(address, ioType);
    m_messages.ClearErrBox();
    // The emptied list should again say why nothing works.
    m_unboundReported = false;
}

void GpibAccess::GpibRelease()
{
    if (GpibBusy)
        return;
    BusyScope busy(GpibBusy);
    DeviceClearAndLocal();
}

bool GpibAccess::GpibPollTransaction(const QString& line,
                                     const std::function<void(const QString& reply)>& parseReply)
{
    if (GpibBusy)
        return false;
    BusyScope busy(GpibBusy);
    GpibWrite(line);
    QString reply;
    GpibRead(reply);
    if (parseReply)
        parseReply(reply);
    m_messages.SetMeter(reply);
    return true;
}

bool GpibAccess::GpibMailboxSend(const QString& text)
{
    if (GpibBusy)
        return false;
    BusyScope busy(GpibBusy);
    GpibWrite(text);
    return true;
}

void GpibAccess::GpibDirectWrite(int32_t address, int32_t ioType, const QString& line)
{
    GpibPreparation(address, ioType);
    if (!GpibBusy) {
        BusyScope busy(GpibBusy);
        GpibWrite(line);
    }
    GpibRelease();
}
