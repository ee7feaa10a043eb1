#pragma once

#include <QByteArray>
#include <QString>

// The set-value fields and the command each posts on Enter, with the field's text between the
// prefix and the line feed.
struct SetValueField {
    const char* field;  // objectName
    const char* prefix; // "SOUR:VOLTAC,"
    bool checked;       // the common fields pass a character check first
};
const SetValueField* SetValueFields(int& count);

// The check of the common set-value fields: only digits and points pass; anything else empties
// the text (a sign, an exponent or a decimal comma included). Several points pass.
QString CheckSetValueText(const QString& text);

// The command line a field posts for the given text.
QByteArray SetValueCommand(const SetValueField& field, const QString& text);

// The output switches: the "Output  ON" button (shown while the output is on) sends the line
// that switches it off, and a test run broken off by tavtest sends it too.
inline constexpr char kOutputOffLine[] = "OUTP,0\n";
inline constexpr char kOutputOnLine[] = "OUTP,1\n";
// The other switch pairs and the action buttons.
inline constexpr char kAuxOffLine[] = "OUTP:AUX,0\n";
inline constexpr char kAuxOnLine[] = "OUTP:AUX,1\n";
inline constexpr char kPhasesOffLine[] = "OUTP:PHASON,0\n";
inline constexpr char kPhasesOnLine[] = "OUTP:PHASON,1\n";
inline constexpr char kPeakCurrentClearLine[] = "SOUR:CURRCLR\n";
inline constexpr char kCurrentRangeX10Line[] = "SOUR:CURRRNG,1\n";
inline constexpr char kCurrentRangeX1Line[] = "SOUR:CURRRNG,0\n";
inline constexpr char kOt1OffLine[] = "OUTP:OT1,0\n";
inline constexpr char kOt1OnLine[] = "OUTP:OT1,1\n";

// Recall and save of an instrument state: "*RCL," or "*SAV," and the state's text.
QByteArray RecallStateCommand(const QString& state);
QByteArray SaveStateCommand(const QString& state);
