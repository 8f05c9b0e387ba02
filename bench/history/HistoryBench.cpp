// Prints what the day's history costs: its memory, a paint's reduction of a full day at the
// 24-hour span, reading a full day's log back and appending one row to a log file.
//   history_bench [folder]   where the log file is written, default the current folder
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "qrvl/history/DayRing.h"
#include "qrvl/history/LogReader.h"
#include "qrvl/history/LogRow.h"

namespace history = qrvl::history;

namespace {

constexpr int kDaySeconds = 24 * 60 * 60;
constexpr int kColumns = 200;
constexpr std::int64_t kStartMs = 1796753401000;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Texts of a plausible poll n, as a sensor host formats them.
void pollTexts(int n, char (&texts)[history::kChannels][8], const char* (&fields)[history::kChannels]) {
  for (int c = 0; c < history::kChannels; ++c) {
    const double value = (c < 3 ? 40.0 : 1.5) + std::sin(n / (50.0 + c)) * (c < 3 ? 10.0 : 0.2);
    std::snprintf(texts[c], sizeof texts[c], c < 3 ? "%.1f" : "%.2f", value);
    fields[c] = texts[c];
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? std::string(argv[1]) + "/" : std::string();
  char texts[history::kChannels][8];
  const char* fields[history::kChannels];

  history::DayRing ring;
  std::string log = history::logFileStart();
  for (int n = 0; n < kDaySeconds; ++n) {
    pollTexts(n, texts, fields);
    const std::int64_t utcMs = kStartMs + std::int64_t{n} * 1000;
    ring.append(history::sampleOf(utcMs, fields));
    history::appendLogRow(log, utcMs, 540, fields, "");
  }
  std::printf("ring memory, a day at one poll a second: %zu bytes\n", ring.memoryBytes());

  std::vector<double> times;
  std::vector<history::ColumnRange> columns(kColumns);
  const std::int64_t endMs = kStartMs + std::int64_t{kDaySeconds} * 1000;
  for (int run = 0; run < 200; ++run) {
    const auto start = std::chrono::steady_clock::now();
    for (int channel = 0; channel < history::kChannels; ++channel) {
      ring.reduce(endMs, history::spanMs(history::LookBack::Day), kColumns, channel, columns.data());
    }
    times.push_back(secondsSince(start));
  }
  std::printf("reduce a full day to 6 x %d columns at the 24-hour span: %.1f us (median of 200)\n", kColumns,
              median(times) * 1e6);

  const std::string path = folder + "history_bench.csv";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << log;
  times.clear();
  std::size_t rows = 0;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    // One read of the whole file, as the monitor reads it.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string text(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0).read(&text[0], static_cast<std::streamsize>(text.size()));
    history::DayRing filled;
    const std::vector<history::Sample> samples = history::readLogRows(text);
    rows = samples.size();
    history::fillDay(samples, endMs, filled);
    times.push_back(secondsSince(start));
  }
  std::printf("read back a full day's log (%zu rows, %zu bytes) into the ring: %.1f ms (median of 5)\n", rows,
              log.size(), median(times) * 1e3);

  // Each row is written and flushed on its own, as the monitor writes them.
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) {
    std::perror(path.c_str());
    return 1;
  }
  times.clear();
  std::string row;
  for (int n = 0; n < 10000; ++n) {
    pollTexts(n, texts, fields);
    const auto start = std::chrono::steady_clock::now();
    row.clear();
    history::appendLogRow(row, endMs + std::int64_t{n} * 1000, 540, fields, "");
    std::fwrite(row.data(), 1, row.size(), file);
    std::fflush(file);
    times.push_back(secondsSince(start));
  }
  std::fclose(file);
  std::remove(path.c_str());
  std::printf("format and append a row: %.2f us (median of 10000)\n", median(times) * 1e6);
  return 0;
}
