#include "LocalTimeTable.h"

namespace crash {

int64_t LocalTimeTable::offsetFromLibrary(time_t when)
{
    struct tm local;
    if (!localtime_r(&when, &local))
        return 0;
    return local.tm_gmtoff;
}

void LocalTimeTable::prepare(time_t now)
{
    tzset();
    count = 0;
    initialOffset = offsetFromLibrary(now);
    int64_t previous = initialOffset;
    for (int day = 1; day <= kDaysAhead && count < kMaxChanges; ++day) {
        const time_t when = now + time_t(day) * 86400;
        const int64_t offset = offsetFromLibrary(when);
        if (offset == previous)
            continue;
        changes[count++] = {firstSecondWith(when - 86400, when, offset), offset};
        previous = offset;
    }
}

// The zone has the old offset at `before` and `offset` at `after`.
time_t LocalTimeTable::firstSecondWith(time_t before, time_t after, int64_t offset) const
{
    while (after - before > 1) {
        const time_t middle = before + (after - before) / 2;
        if (offsetFromLibrary(middle) == offset)
            after = middle;
        else
            before = middle;
    }
    return after;
}

int64_t LocalTimeTable::offsetAt(time_t when) const
{
    int64_t offset = initialOffset;
    for (int i = 0; i < count && when >= changes[i].from; ++i)
        offset = changes[i].offset;
    return offset;
}

} // namespace crash
