#pragma once

#include <cstdint>

namespace crash {

struct CivilTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

// Calendar date and time of day for seconds since 1970-01-01 00:00:00.
CivilTime civilTime(int64_t seconds);

} // namespace crash
