#include "common/number_reading.h"

#include <clocale>

#include <cstdlib>
#include <locale.h>
#include <stdlib.h>
#include <string>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

size_t SkipBlanks(std::string_view t)
{
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
        ++i;
    return i;
}

} // namespace

namespace {

// Where the leading number of a text lies: its digits with sign and point from start to
// mantissaEnd, a complete exponent up to end. No number at all: start == end.
struct NumberSpan {
    size_t start = 0;
    size_t mantissaEnd = 0;
    size_t end = 0;
};

NumberSpan FindNumber(std::string_view text)
{
    size_t i = SkipBlanks(text);
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    size_t end = i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
        if (digits > 0)
            end = i;
    }
    if (digits == 0)
        return {start, start, start};
    const size_t mantissaEnd = end;
    // An exponent counts only when it is complete ("1e" reads as 1).
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        size_t j = end + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        const size_t expDigitsStart = j;
        while (j < text.size() && IsDigit(text[j]))
            ++j;
        if (j > expDigitsStart)
            end = j;
    }
    return {start, mantissaEnd, end};
}

// Read in the C locale, never the operator's: on a German desktop "230.5" is still 230.5.
double ReadCNumber(const std::string& number)
{
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", locale_t(0));
    return strtod_l(number.c_str(), nullptr, c);
}

} // namespace

double ReadNumber(std::string_view text)
{
    const NumberSpan n = FindNumber(text);
    if (n.end == n.start)
        return 0.0;
    return ReadCNumber(std::string(text.substr(n.start, n.end - n.start)));
}

double ReadThousandths(std::string_view text)
{
    const NumberSpan n = FindNumber(text);
    if (n.end == n.start)
        return 0.0;
    // The exponent, held within a range where every value underflows or overflows anyway.
    long exponent = 0;
    if (n.end > n.mantissaEnd) {
        const std::string_view digits = text.substr(n.mantissaEnd + 1, n.end - n.mantissaEnd - 1);
        const bool negative = digits.front() == '-';
        for (const char c : digits)
            if (IsDigit(c) && exponent < 100000)
                exponent = exponent * 10 + (c - '0');
        if (negative)
            exponent = -exponent;
    }
    return ReadCNumber(std::string(text.substr(n.start, n.mantissaEnd - n.start)) + 'e' +
                       std::to_string(exponent - 3));
}

double ReadThousandths(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return ReadThousandths(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

double ReadNumber(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return ReadNumber(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

int32_t ReadInteger(std::string_view text)
{
    size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (hex) {
        // Hexadecimal is a bit pattern: up to 32 bits, read back as a signed value.
        uint32_t value = 0;
        while (i < text.size() && HexValue(text[i]) >= 0 && value <= 0x0FFFFFFFu) {
            value = value * 16 + static_cast<uint32_t>(HexValue(text[i]));
            ++i;
        }
        const auto v = static_cast<int32_t>(value);
        return negative ? static_cast<int32_t>(0u - value) : v;
    }
    // The limit is one more for negative numbers, so -2147483648 still reads whole.
    const uint32_t limit = negative ? 2147483648u : 2147483647u;
    uint32_t value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        const uint32_t d = static_cast<uint32_t>(text[i] - '0');
        if (value > (limit - d) / 10)
            break;
        value = value * 10 + d;
        ++i;
    }
    return negative ? static_cast<int32_t>(0u - value) : static_cast<int32_t>(value);
}

int32_t ReadInteger(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return ReadInteger(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}
