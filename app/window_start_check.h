#pragma once

#include "autotest/table_window.h"

#include <memory>

class InstrumentSource;
struct PanelState;
class ResultsStore;

// What the test window asks before a unit's run: the instrument's calibration in the station's
// list and, when "Test" > "Limits…" chose a file, its limits for the instrument's model written
// into the table. The list is the program's (instruments, made when empty), read anew after
// each look, the line's from its server in the background: a window closed while a server is
// slow to answer does not wait for it.
TForm6::StartCheck TestStartCheck(const PanelState& panel, const ResultsStore& results,
                                  std::shared_ptr<InstrumentSource>& instruments);

// The limits file "Test" > "Limits…" chose, kept with the program's settings (empty: none).
QString ChosenLimitsFile();
void ChooseLimitsFile(const QString& path);
