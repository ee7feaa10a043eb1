#pragma once

#include <QString>
#include <optional>

class InstrumentSource;
class QWidget;

// Before a window begins a unit's run: the instrument's calibration in the station's list. Past
// its day the operator is asked whether to run all the same; with calibration required (the
// program's setting), a run on an instrument not shown in calibration is refused with the
// reason. Returns what the run's record keeps of it, or none when the run is not to begin.
std::optional<QString> AskCalibration(QWidget* parent, const InstrumentSource& instruments,
                                      const QString& identification);
