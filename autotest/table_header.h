#pragma once

#include <QString>

// Who tested which unit: the "Reporter:", "Unit:" and "Serial #:" texts of the test window, or
// their copies ReporterText, UnitText and SerialText that the report is written with.
struct TestHeader {
    QString ReporterText = QStringLiteral("KELM-Electronic");
    QString UnitText = QStringLiteral("TAV Power Source");
    QString SerialText = QStringLiteral("0505000120");

    bool operator==(const TestHeader&) const = default;
};

// The serial number of the next unit: the text read as a whole number plus one, brought back to
// the former length with leading zeros ("0505000120" -> "0505000121", "0999" -> "1000"); a text
// that does not begin with a number counts as 0 ("SN12" -> "0001"). A longer sum is not cut.
QString AdvanceSerialNumber(const QString& serial);
