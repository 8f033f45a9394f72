// Typed page sizes: an accepted one fits the frame buffer, and its own text reads back to the same verdict.
#include "PageSizeRule.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const PageSizeRule rule(QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)));
    const QSize asked = rule.size();
    if (rule.verdict() == PageSizeRule::Ignored)
        return 0;
    const bool fits = asked.width() <= FrameLayout::MaxWidth && asked.height() <= FrameLayout::MaxHeight;
    if (asked.width() < 1 || asked.height() < 1 || (rule.verdict() == PageSizeRule::Accepted && !fits))
        std::abort();
    const PageSizeRule again(PageSizeRule::textFor(asked));
    if (again.verdict() != rule.verdict() || again.size() != asked)
        std::abort();
    return 0;
}
