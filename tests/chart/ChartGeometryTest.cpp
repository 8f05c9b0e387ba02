#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "ChartGeometry.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(ChartGeometry, MarginHoldsDigitsAndDecimalsAtFivePixelsACharacter) {
    // Worked examples: range and decimals to the plot's left edge.
    EXPECT_EQ(chart::ScaleDigits(-10.0, 10.0), 1);
    EXPECT_EQ(chart::PlotLeft(0, -10.0, 10.0, 3), 40);
    EXPECT_EQ(chart::PlotLeft(0, 20.0, 80.0, 1), 30);
    EXPECT_EQ(chart::ScaleDigits(1.5, 2.0), 0);
    EXPECT_EQ(chart::PlotLeft(0, 1.5, 2.0, 2), 30);
    EXPECT_EQ(chart::PlotLeft(0, 0.0, 100.0, 1), 35);
    // T(log10 0.05) = T(-1.3) = -1: one digit.
    EXPECT_EQ(chart::ScaleDigits(0.05, 0.5), 1);
    EXPECT_EQ(chart::PlotLeft(0, 0.05, 0.5, 2), 35);

    // The larger bound wins whichever side it is on; the client's left edge is added.
    EXPECT_EQ(chart::ScaleDigits(-12345.0, 3.0), 4);
    EXPECT_EQ(chart::PlotLeft(7, -12345.0, 3.0, 0), 7 + 40);
    // A bound of 0 (either sign) counts 0; bounds without a finite logarithm too.
    EXPECT_EQ(chart::ScaleDigits(0.0, -0.0), 0);
    EXPECT_EQ(chart::ScaleDigits(kInf, kNaN), 0);
    // Decimals enter unchanged, also when negative.
    EXPECT_EQ(chart::PlotLeft(0, -10.0, 10.0, -2), 15);
    EXPECT_EQ(chart::PlotLeft(0, -10.0, 10.0, INT_MAX), INT_MAX);
}

TEST(ChartGeometry, ValueToRowTruncatesTheDoubleOffset) {
    // Worked example: plot height 66, range 20, bottom row 66.
    double dScale = chart::PlotScale(66, 20.0);
    EXPECT_EQ(dScale, 3.3);
    EXPECT_EQ(10.0 * dScale, 33.0);
    struct Case {
        double value;
        int row;
    } cases[] = {{0.0, 33}, {5.0, 17}, {9.9, 1}, {10.0, 0}, {-10.0, 66}, {-10.2, 66}, {-10.4, 67}, {10.5, -1},
                 {-5.0, 50}};
    for (const Case& c : cases) EXPECT_EQ(chart::ValueToRow(c.value, -10.0, dScale, 66), c.row) << c.value;

    // A range upside down: the minimum still on the bottom row, the maximum on the top.
    double dInverted = chart::PlotScale(66, -20.0);
    EXPECT_EQ(chart::ValueToRow(10.0, 10.0, dInverted, 66), 66);
    EXPECT_EQ(chart::ValueToRow(-10.0, 10.0, dInverted, 66), 0);
}

TEST(ChartGeometry, FarValuesLieFarBeyondTheNearerEdge) {
    double dScale = chart::PlotScale(66, 20.0);
    // Offsets beyond 32 bits are limited to them; the subtraction does not wrap.
    EXPECT_EQ(chart::ValueToRow(1e300, -10.0, dScale, 66), 66 - INT_MAX);
    EXPECT_EQ(chart::ValueToRow(kInf, -10.0, dScale, 66), 66 - INT_MAX);
    EXPECT_EQ(chart::ValueToRow(-1e300, -10.0, dScale, 66), INT_MAX);
    EXPECT_EQ(chart::ValueToRow(-kInf, -10.0, dScale, 66), INT_MAX);
    // Just inside and just outside the 32-bit range (scale 1, minimum 0).
    EXPECT_EQ(chart::ValueToRow(2147483647.5, 0.0, 1.0, 0), -INT_MAX);
    EXPECT_EQ(chart::ValueToRow(4294967296.0, 0.0, 1.0, 0), -INT_MAX);
    EXPECT_EQ(chart::ValueToRow(-2147483648.5, 0.0, 1.0, -1), INT_MAX);
    EXPECT_EQ(chart::ValueToRow(-2147483648.5, 0.0, 1.0, -5), INT_MAX - 4);
    EXPECT_EQ(chart::ValueToRow(-3e9, 0.0, 1.0, -100), INT_MAX - 99);

    // NaN has no row.
    EXPECT_FALSE(chart::ValueToRow(kNaN, -10.0, dScale, 66).has_value());

    // Line end points stay within what the platform can draw, on the same side.
    EXPECT_EQ(chart::LineCoordinate(33), 33);
    EXPECT_EQ(chart::LineCoordinate(-100000), -100000);
    EXPECT_EQ(chart::LineCoordinate(66 - INT_MAX), -(1 << 26));
    EXPECT_EQ(chart::LineCoordinate(INT_MAX), 1 << 26);
}

TEST(ChartGeometry, EqualBoundsPutEveryValueOnTheBottomRow) {
    // No division: the scale is 0.
    EXPECT_EQ(chart::PlotScale(66, 0.0), 0.0);
    for (double v : {5.0, -1e300, 1e300, kInf, -kInf}) EXPECT_EQ(chart::ValueToRow(v, 5.0, 0.0, 66), 66) << v;
    EXPECT_FALSE(chart::ValueToRow(kNaN, 5.0, 0.0, 66).has_value());
    // An infinite minimum met by the same infinity is on its own row, too.
    EXPECT_EQ(chart::ValueToRow(kInf, kInf, 3.3, 66), 66);
}

TEST(ChartGeometry, LabelsShowOneDecimalFewer) {
    EXPECT_EQ(chart::LabelPrecision(3), 2);
    EXPECT_EQ(chart::LabelPrecision(1), 0);
    // Negative precisions count as absent in the format: six decimals.
    EXPECT_EQ(chart::LabelPrecision(0), -1);
    EXPECT_LT(chart::LabelPrecision(INT_MIN), 0);
}

}  // namespace
