#pragma once

#include <cstdint>
#include <ctime>

namespace crash {

// The local zone's offset from UTC, learnt while it is still safe to ask the
// C library, so that a crash can name its dump in local time without it:
// localtime() takes locks and may read files. The offset in force at
// preparation and every change over the following year are kept.
class LocalTimeTable
{
public:
    void prepare(time_t now);
    int64_t offsetAt(time_t when) const;
    int changeCount() const { return count; }

private:
    static constexpr int kMaxChanges = 16;
    static constexpr int kDaysAhead = 400;

    static int64_t offsetFromLibrary(time_t when);
    time_t firstSecondWith(time_t before, time_t after, int64_t offset) const;

    struct Change {
        time_t from;
        int64_t offset;
    };

    int64_t initialOffset = 0;
    Change changes[kMaxChanges] = {};
    int count = 0;
};

} // namespace crash
