#pragma once
// Plain arithmetic of the strip chart's layout, kept apart from the window so that it can
// be checked without one.
#include <optional>

namespace chart {

// Characters the scale labels need before the decimal point: the larger of |T(log10 |bound|)|
// for the two bounds, T truncating toward zero; a bound of 0 (or one without a finite
// logarithm) counts 0.
int ScaleDigits(double dMin, double dMax);

// Column of the plot's left edge: the margin gives each label character 5 pixels.
int PlotLeft(int nClientLeft, double dMin, double dMax, int nDecimals);

// Pixels per unit of the range.
double PlotScale(int nPlotHeight, double dRange);

// Row of a value: bottom - T((value - min) x scale). None for a value that has no row (NaN).
std::optional<int> ValueToRow(double dValue, double dMin, double dScale, int nBottom);

// A row as a line end point the platform can draw.
int LineCoordinate(int nRow);

// Precision of the scale labels: one digit fewer than the readout.
int LabelPrecision(int nDecimals);

}  // namespace chart
