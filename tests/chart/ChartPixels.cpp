// Draws one fixed sequence into a chart and writes what the window shows after each part
// of it to a file, so that the pixels of the two builds can be compared byte for byte.
// usage: chart_pixels OUT.bin   (and OUT-N.bmp beside it, to look at)
#include <windows.h>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "ChartHost.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Part {
    double dMin;
    double dMax;
    int nDecimals;
    const char* pszTitle;
    std::vector<double> values;
};

std::vector<Part> Sequence() {
    // At the defaults (-10 to 10 over 66 rows) the scale is 3.3, and a value k / 3.3 above
    // the minimum lies on a row boundary: 80-bit intermediates put it on the row below.
    std::vector<double> temperatures;
    for (int k = 0; k <= 66; k += 3) temperatures.push_back(-10.0 + k / 3.3);
    for (double v : {0.0, -3.3, -6.6, 3.3, 1e9, -1e9, 1e300, -kInf, kInf, kNaN, kNaN, -0.0, 9.999, -9.999})
        temperatures.push_back(v);
    std::vector<double> volts;
    for (int k = 0; k <= 66; k += 2) volts.push_back(1.0 + k * (0.6 / 66));
    for (double v : {1.104, 1.1, 1.2, 1.3, 1.6, 1.0, kNaN, 0.0, -1.25, 1e-300, 2.5}) volts.push_back(v);
    return {
        {-10.0, 10.0, 3, "温度", temperatures},
        {1.0, 1.6, 3, "電圧", volts},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: chart_pixels OUT.bin\n");
        return 2;
    }
    const std::string out = argv[1];
    ChartHost host;
    if (!host.created) {
        std::fprintf(stderr, "chart_pixels: no chart\n");
        return 1;
    }
    FILE* file = std::fopen(out.c_str(), "wb");
    if (file == nullptr) {
        std::perror(out.c_str());
        return 1;
    }
    int nPart = 0;
    for (const Part& part : Sequence()) {
        host.chart.SetRange(part.dMin, part.dMax, part.nDecimals);
        host.chart.SetTitle(part.pszTitle);
        for (double v : part.values) host.chart.AppendValue(v);
        wintest::Image shot = host.Shot();
        std::fwrite(&shot.width, sizeof shot.width, 1, file);
        std::fwrite(&shot.height, sizeof shot.height, 1, file);
        std::fwrite(shot.pixels.data(), sizeof(COLORREF), shot.pixels.size(), file);
        shot.SaveBmp(out + "-" + std::to_string(++nPart) + ".bmp");
    }
    return std::fclose(file) == 0 ? 0 : 1;
}
