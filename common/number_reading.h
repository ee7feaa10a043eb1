#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

// Lenient number reading, used wherever a table cell, a reply or a setting is read "as a number".
// Leading blanks are skipped; a text that is a number from first to last character gives its
// value; otherwise the value is the longest leading number, with its sign, point and exponent
// applied ("12.5A" -> 12.5, "-3x" -> -3, "0.5\r\n" -> 0.5). No number at all gives 0.
double ReadNumber(std::string_view text);
double ReadNumber(const QString& text);
inline double ReadNumber(const char* text) { return ReadNumber(std::string_view(text)); }

// The number ReadNumber reads, divided by 1000 in its decimal text: "123.4" gives exactly what
// "0.1234" reads as, where 123.4 / 1000 would give 0.12340000000000001. A value in milli-units
// thus compares equal to a limit written with the same digits in whole units.
double ReadThousandths(std::string_view text);
double ReadThousandths(const QString& text);

// The same for whole numbers: optional sign, decimal digits, or hexadecimal digits after "$",
// "x", "X" or "0x". Reading stops before a digit that would overflow 32 bits.
int32_t ReadInteger(std::string_view text);
int32_t ReadInteger(const QString& text);
inline int32_t ReadInteger(const char* text) { return ReadInteger(std::string_view(text)); }
