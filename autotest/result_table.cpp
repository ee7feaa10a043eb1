#include "autotest/result_table.h"

#include <cstdlib>

namespace {

// A number cell: the top bit set, three bits of decimals, and the digits without the point as
// a 28-bit two's complement mantissa.
constexpr quint32 kNumberFlag = 0x80000000u;
constexpr int kDecimalsShift = 28;
constexpr quint32 kMantissaMask = 0x0fffffffu;
constexpr qint32 kMantissaLimit = 1 << 27;
constexpr int kMaxDecimals = 7;
// A pool this large is rebuilt when the rows drop to fewer than half its entries.
constexpr size_t kPoolKeptWhole = 4096;

QString NumberText(qint32 mantissa, int decimals)
{
    char text[16];
    char* const end = text + sizeof text;
    char* p = end;
    qint64 rest = std::abs(static_cast<qint64>(mantissa));
    for (int d = 0; d < decimals; ++d, rest /= 10)
        *--p = static_cast<char>('0' + rest % 10);
    if (decimals > 0)
        *--p = '.';
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest > 0);
    if (mantissa < 0)
        *--p = '-';
    return QString::fromLatin1(p, end - p);
}

// The digits of "-12.345" as mantissa -12345 with 3 decimals; false for any other form of text
// or a number too large for a cell.
bool ReadNumber(const QString& text, qint32& mantissa, int& decimals)
{
    qsizetype i = 0;
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative)
        ++i;
    qint64 value = 0;
    int digits = 0;
    decimals = -1;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('.') && decimals < 0 && digits > 0) {
            decimals = 0;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || ++digits > 9)
            return false;
        value = value * 10 + (c.unicode() - '0');
        if (decimals >= 0)
            ++decimals;
    }
    if (digits == 0 || decimals == 0 || decimals > kMaxDecimals || value >= kMantissaLimit)
        return false;
    mantissa = static_cast<qint32>(negative ? -value : value);
    decimals = std::max(decimals, 0);
    return true;
}

} // namespace

ResultTable::ResultTable()
{
    DropUnusedTexts(); // sets up the pool
    WriteCaptions();
    SetRowCount(2);
}

const QStringList& ResultTable::Captions()
{
    static const QStringList captions{"Step",        "Comment",     "Lower Limit",
                                      "Test Result", "Upper Limit", "Mark"};
    return captions;
}

QString ResultTable::Cell(int column, int row) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= kColumns)
        return {};
    return Text(m_rows[static_cast<size_t>(row)].cells[column]);
}

QStringList ResultTable::Row(int row) const
{
    QStringList cells;
    cells.reserve(kColumns);
    for (int c = 0; c < kColumns; ++c)
        cells << Cell(c, row);
    return cells;
}

bool ResultTable::RowFailed(int row) const
{
    if (row < 1 || row >= RowCount())
        return false;
    const StoredRow& stored = m_rows[static_cast<size_t>(row)];
    return stored.cells[kMark] == m_failedMark || stored.cells[kTestResult] == m_noReply;
}

void ResultTable::WriteCaptions() { SetRow(0, Captions()); }

void ResultTable::SetRow(int row, const QStringList& cells)
{
    if (row < 0)
        return;
    if (row >= RowCount())
        SetRowCount(row + 1);
    StoredRow& target = m_rows[static_cast<size_t>(row)];
    for (int c = 0; c < kColumns; ++c)
        target.cells[c] = Store(cells.value(c));
    Changed(row);
}

void ResultTable::SetRowCount(int count)
{
    const size_t rows = static_cast<size_t>(std::max(count, 1));
    const bool shrinking = rows < m_rows.size();
    m_rows.resize(rows);
    if (shrinking && m_texts.size() > kPoolKeptWhole && m_texts.size() > 2 * rows)
        DropUnusedTexts();
    Changed(-1);
}

// ---- cells ----

ResultTable::StoredCell ResultTable::Store(const QString& text)
{
    qint32 mantissa = 0;
    int decimals = 0;
    if (ReadNumber(text, mantissa, decimals)) {
        const StoredCell cell = kNumberFlag | (static_cast<quint32>(decimals) << kDecimalsShift) |
                                (static_cast<quint32>(mantissa) & kMantissaMask);
        // Only a number that reads back as the very same text ("007", "-0.000" do not).
        if (Text(cell) == text)
            return cell;
    }
    return Intern(text);
}

QString ResultTable::Text(StoredCell cell) const
{
    if (!(cell & kNumberFlag))
        return m_texts[cell];
    // The mantissa's sign bit widened from 28 to 32 bits.
    const qint32 mantissa = static_cast<qint32>((cell & kMantissaMask) << 4) >> 4;
    return NumberText(mantissa, static_cast<int>((cell >> kDecimalsShift) & 7u));
}

ResultTable::StoredCell ResultTable::Intern(const QString& text)
{
    if (const auto found = m_textIndex.constFind(text); found != m_textIndex.cend())
        return *found;
    const auto cell = static_cast<StoredCell>(m_texts.size());
    m_texts.push_back(text);
    m_textIndex.insert(text, cell);
    return cell;
}

// Starts the pool afresh with the texts the kept rows still use (a new report after a long one
// need not carry the old one's texts).
void ResultTable::DropUnusedTexts()
{
    std::vector<QString> old;
    old.swap(m_texts);
    m_textIndex.clear();
    Intern(QString());
    m_failedMark = Intern(QString::fromLatin1(kFailedMark));
    m_noReply = Intern(QString::fromLatin1(kNoReplyValue));
    for (StoredRow& row : m_rows)
        for (StoredCell& cell : row.cells)
            if (!(cell & kNumberFlag))
                cell = Intern(old[cell]);
}

void ResultTable::Changed(int row)
{
    if (m_observer)
        m_observer(row);
}
