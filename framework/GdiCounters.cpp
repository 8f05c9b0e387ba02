#include "GdiCounters.h"

std::atomic<long> GdiCounters::created{0};
std::atomic<long> GdiCounters::released{0};
