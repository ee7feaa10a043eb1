#pragma once

#include <QByteArray>
#include <QString>

// The decisions of the central reply parser, apart from the window that shows them.

// Trims leading and trailing blanks and control characters (this removes the line end).
QString TrimReply(const QString& text);

// What a reply does, by the slot it is attributed to.
enum class ReplyAction {
    None,           // only the log
    Status,         // status word and indicators
    Value,          // first 8 characters into the slot's field
    Angle,          // first 5 characters and a degree sign
    OutputState,    // output pair
    PhaseState,     // phase pair
    AuxState,       // AUX pair
    Identification, // "*idn?"
    Options,        // "*opt?"
};
ReplyAction ActionForSlot(int slot);

// The objectName of the field a Value or Angle slot writes, or nullptr.
const char* FieldForSlot(int slot);

// The leading decimal digits as an integer; none give 0.
int LeadingDigitsValue(const QString& text);

// The switch state pairs: only the single character "1" (of the first 8) means on.
bool ReplyMeansOn(const QString& trimmed);

// The value field text: the first 8 characters.
QString ValueText(const QString& trimmed);
// The angle text: the first 5 characters followed by "°".
QString AngleText(const QString& trimmed);

// Status word bits: overload on phases 1..3, then constant current on phases 1..3.
inline bool OverloadOn(int statusWord, int phase) { return statusWord & (1 << (phase - 1)); }
inline bool ConstantCurrentOn(int statusWord, int phase) { return statusWord & (8 << (phase - 1)); }
