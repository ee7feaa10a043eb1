#pragma once

#include "autotest/table_window.h"

struct PanelState;
class ResultsStore;

// What the test window asks before a unit's run: the instrument's calibration in the station's
// list (read anew after each look, the line's from its server in the background) and, when
// "Test" > "Limits…" chose a file, its limits for the instrument's model written into the table.
TForm6::StartCheck TestStartCheck(const PanelState& panel, const ResultsStore& results);

// The limits file "Test" > "Limits…" chose, kept with the program's settings (empty: none).
QString ChosenLimitsFile();
void ChooseLimitsFile(const QString& path);
