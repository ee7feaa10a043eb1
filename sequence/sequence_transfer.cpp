#include "sequence/sequence_transfer.h"

#include <utility>

namespace {

constexpr int kEndCode = 255;
constexpr int kLastRow = 50;
// Column of each cell in the sequence table.
constexpr int kTime = 1, kCommand = 2, kValue1 = 3, kFrequency = 4, kValue2 = 5;

} // namespace

QString SequenceCommandCode(const QString& cell)
{
    static const std::pair<const char*, int> kKeywords[] = {
        {"FREQ", 1},      {"UDC", 3},     {"UAC", 4},     {"RUAC", 5},    {"RUDC", 6},
        {"RFREQ", 7},     {"UAC1", 10},   {"UAC2", 11},   {"UAC3", 12},   {"RUAC1", 13},
        {"RUAC2", 14},    {"RUAC3", 15},  {"UDC1", 16},   {"UDC2", 17},   {"UDC3", 18},
        {"RUDC1", 19},    {"RUDC2", 20},  {"RUDC3", 21},  {"FREQ1", 22},  {"FREQ2", 23},
        {"FREQ3", 24},    {"RFREQ1", 25}, {"RFREQ2", 26}, {"RFREQ3", 27}, {"PHAS1", 30},
        {"PHAS2", 31},    {"PHAS3", 32},  {"RPHAS1", 33}, {"RPHAS2", 34}, {"RPHAS3", 35},
        {"END", kEndCode}};
    for (const auto& [keyword, code] : kKeywords)
        if (cell == QLatin1String(keyword))
            return QString::number(code);
    return cell;
}

void SequenceTransfer::Reset()
{
    RowCounter = 0;
    StepCounter = 0;
}

void SequenceTransfer::Start()
{
    Reset();
    m_host.SetRowTimer(true);
    m_host.SetTransferEnabled(false);
}

void SequenceTransfer::RowTick()
{
    ++RowCounter;
    if (RowCounter < kLastRow + 1) {
        StepCounter = 0;
        m_host.SetCommandTimer(true);
    } else if (RowCounter == kLastRow + 1) {
        m_host.SetRowTimer(false);
        m_host.SetTransferEnabled(true); // the transfer is over, whatever the last line does
        m_host.SendLine("SEQ:CNT," + m_host.CountText().toLatin1() + '\n');
    }
}

void SequenceTransfer::Send(const char* command, const QString& text)
{
    m_host.SendLine(QByteArray(command) + text.toLatin1() + '\n');
}

void SequenceTransfer::CommandTick()
{
    ++StepCounter;
    const int r = RowCounter;
    switch (StepCounter) {
    case 1:
        Send("SEQ:TIME,", m_table.Cell(kTime, r));
        break;
    case 2:
        Send("SEQ:VAL3,", m_table.Cell(kFrequency, r));
        break;
    case 3:
        Send("SEQ:VAL1,", m_table.Cell(kValue1, r));
        break;
    case 4:
        Send("SEQ:VAL2,", m_table.Cell(kValue2, r));
        break;
    case 5: {
        const QString cell = m_table.Cell(kCommand, r);
        const QString code = SequenceCommandCode(cell);
        // The END row is sent itself and ends the transfer at the next row tick; in row 1 it
        // is therefore recorded with SET, not NEW.
        if (cell == QLatin1String("END"))
            RowCounter = kLastRow;
        m_host.SetCommandTimer(false);
        if (RowCounter == 1)
            Send("SEQ:NEW,", code);
        else if (RowCounter <= kLastRow)
            Send("SEQ:SET,", code);
        break;
    }
    default:
        break;
    }
}

void SequenceTransfer::Abort()
{
    m_host.SetRowTimer(false);
    m_host.SetCommandTimer(false);
    m_host.SetTransferEnabled(true);
}
