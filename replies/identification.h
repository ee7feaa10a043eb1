#pragma once

#include <QString>
#include <array>

// What the identification reply ("*idn?") decides: the four fields cut at the first commas, and
// from the firmware revision whether the status query is polled.
struct IdentificationReading {
    std::array<int, 4> CommaPositions{}; // 1-based, 0 where missing
    QString Manufacturer, Model, SerialNumber, Revision;
    int CycleBase = 0;
    QString RevisionMarkerText; // the service tool's Edit1
};
IdentificationReading ReadIdentification(const QString& reply);

// The query whose answer resynchronises a serial link after a reply was given up on: read-only,
// and answered by a line no measurement or set-value query gives.
inline constexpr char kResyncQuery[] = "*idn?\n";
// Whether a received line is an identification: manufacturer, model, serial number and revision
// separated by commas. Value replies ("230.0V", "4.600A", a status word) hold no comma.
bool IsIdentificationReply(const QString& line);
// Whether a line sent is the identification query (any letter case, blanks around it).
bool IsResyncQuery(const QString& line);

// What the options reply ("*opt?") decides.
struct OptionsReading {
    bool ThreePhase = false;
    QString ThreePhaseText;          // the service tool's Edit57
    QString OptionText;              // the service tool's Edit2
    bool CurrentRangeOption = false; // "Irms x10" appears
    bool Ot1Option = false;          // "OT1 Off" appears
};
OptionsReading ReadOptions(const QString& reply);

// Copy of count characters from the 1-based start; a count of 0 or less gives empty text.
QString CutText(const QString& text, int start, int count);
