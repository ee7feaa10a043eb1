#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

// What the service tool's four selections say about the instrument to be configured: the model
// text as the drop-down shows it (an operator may type one of their own) and the item index of
// each radio group.
struct ConfigSelection {
    QString Model;
    int Voltage = 0;   // "Standard", "HV / 500 Vrms", "XHV / 700 Vrms"
    int Frequency = 0; // "Standard", "F1 / 1000 Hz", "F2 / 2000 Hz"
    int Option = 0;    // "None", "OT1", "MB2", "BDG"
};

// The items the service tool offers, in index order.
QStringList ConfigModelItems();
QStringList ConfigVoltageItems();
QStringList ConfigFrequencyItems();
QStringList ConfigOptionItems();

constexpr int kConfigLineCount = 12;

// The model configuration a "Send Config" writes, positions 1 to 12 at indexes 0 to 11, each
// line ending in a line feed; and the power and current it used.
struct ConfigCommandTable {
    std::array<QByteArray, kConfigLineCount> Lines;
    QString Power;
    QString Current;
};

// Builds the configuration lines. A model that is none of the listed ones selects no power and
// no current: the previous transfer's values stand (the caller keeps them between transfers).
ConfigCommandTable BuildConfigCommands(const ConfigSelection& selection, const QString& lastPower,
                                       const QString& lastCurrent);
