#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// What a run tested its unit with, for whoever asks months later: the instrument as it
// identified itself, the further devices and meter, the limits applied and the calibration of
// them all on the day.
struct TestedWith {
    // The "*idn?" reply; "unidentified" when asked and not answered; empty when not known.
    QString Identification;
    QString Options;       // the "*opt?" reply
    QStringList Devices;   // "COM05: <identification>", "meter COM09: no answer"
    QString Limits;        // the limits file's name; empty: the table's own limits
    QString LimitsVersion; // the SHA-256 of its lines
    QString Model;         // whose limits were applied
    // "calibration due 2027-03-31"; a device's own after it, "meter COM09: calibration ran out
    // on 2026-11-30", joined by "; ".
    QString Calibration;

    bool IsEmpty() const { return Identification.isEmpty() && Limits.isEmpty(); }
    // As a printed report's header and a JUnit file's properties name them, in that order.
    QList<std::pair<QString, QString>> Properties() const;
};
