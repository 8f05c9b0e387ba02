#include "ChartGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace chart {

namespace {
// Results beyond the 32-bit range are limited to it, never wrapped.
int Limit32(long long n) { return static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX)); }

int DigitsOf(double dBound) {
    // log10 of 0 is minus infinity; infinite and NaN bounds have no digits either.
    if (dBound == 0.0) return 0;
    double dLog = std::log10(std::fabs(dBound));
    if (!std::isfinite(dLog)) return 0;
    return static_cast<int>(std::fabs(std::trunc(dLog)));
}
}  // namespace

int ScaleDigits(double dMin, double dMax) { return std::max(DigitsOf(dMax), DigitsOf(dMin)); }

int PlotLeft(int nClientLeft, double dMin, double dMax, int nDecimals) {
    long long nChars = static_cast<long long>(ScaleDigits(dMin, dMax)) + nDecimals + 4;
    return Limit32(nClientLeft + 5 * nChars);
}

double PlotScale(int nPlotHeight, double dRange) {
    // Equal bounds leave no range to divide by. A scale of 0 keeps the chart drawable and
    // puts every value on the bottom row, next to the two equal labels.
    if (dRange == 0.0) return 0.0;
    return nPlotHeight / dRange;
}

std::optional<int> ValueToRow(double dValue, double dMin, double dScale, int nBottom) {
    if (std::isnan(dValue)) return std::nullopt;
    // Each step is rounded to a double (both builds compute in SSE2 registers): 10.0 x 3.3
    // gives 33.0, where 80-bit x87 arithmetic would give 32.999...
    double dOffset = (dValue - dMin) * dScale;
    long long nOffset;
    if (std::isnan(dOffset)) {
        // A number without a product: an infinity against a zero scale or against an equal
        // infinite minimum, or a NaN bound. Such a value goes where the minimum goes.
        nOffset = 0;
    } else if (dOffset >= 2147483648.0) {
        nOffset = INT_MAX;
    } else if (dOffset <= -2147483649.0) {
        nOffset = INT_MIN;
    } else {
        nOffset = static_cast<long long>(dOffset);  // truncation toward zero
    }
    return Limit32(nBottom - nOffset);
}

int LineCoordinate(int nRow) {
    // GDI takes coordinates of at most 27 bits, and wine wraps larger ones into a line
    // across the whole layer. A segment spans two columns and changes column only a quarter
    // of its length from either end, so a far end moved to this distance lights the same
    // pixels in any window less than millions of pixels high.
    constexpr int kFarthest = 1 << 26;
    return std::clamp(nRow, -kFarthest, kFarthest);
}

int LabelPrecision(int nDecimals) { return std::max(nDecimals, INT_MIN + 1) - 1; }

}  // namespace chart
