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

// What the options reply ("*opt?") decides.
struct OptionsReading {
    bool ThreePhase = false;
    QString ThreePhaseText; // the service tool's Edit57
    QString OptionText;     // the service tool's Edit2
    bool CurrentRangeOption = false; // "Irms x10" appears
    bool Ot1Option = false;          // "OT1 Off" appears
};
OptionsReading ReadOptions(const QString& reply);

// Copy of count characters from the 1-based start; a count of 0 or less gives empty text.
QString CutText(const QString& text, int start, int count);
