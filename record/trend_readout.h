#pragma once

#include <QString>
#include <vector>

class PlotStore;
class QDateTime;

// The trend's curves by the plot store's number (phase index * 3 + U/I/P): "U1 [V]", and the
// quantity's axis title "U [V]".
QString TrendCurveName(int curve);
QString TrendQuantityTitle(int quantity);

// What the trend shows under the mouse: the time of the sample nearest to seconds (since
// start) as hh:mm:ss.zzz, then each listed curve's value there with four significant digits,
// "12:00:01.250   U1 230.0 V   I1 4.600 A"; empty when the store is.
QString TrendReadout(const PlotStore& store, const QDateTime& start, double seconds,
                     const std::vector<int>& curves);
