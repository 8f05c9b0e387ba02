#pragma once
#include "qrvl/history/LocalClock.h"

// The platform's time: UTC, and the offset of the time zone's rule for the instant, so a
// row written just after a daylight-saving change carries the new offset.
class CWindowsClock : public qrvl::history::LocalClock {
public:
    std::int64_t nowUtcMs() const override;
    int offsetMinutesAt(std::int64_t utcMs) const override;
};
