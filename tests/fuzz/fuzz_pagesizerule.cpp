// Texts typed into the page-size list. An accepted size is inside the frame
// buffer's room and reads back from its own text to the same verdict.
#include "PageSizeRule.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const PageSizeRule rule(QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)));
    const QSize asked = rule.size();
    switch (rule.verdict()) {
    case PageSizeRule::Accepted:
        if (asked.width() < 1 || asked.height() < 1 || asked.width() > FrameLayout::MaxWidth
            || asked.height() > FrameLayout::MaxHeight)
            std::abort();
        break;
    case PageSizeRule::TooLarge:
        if (asked.width() < 1 || asked.height() < 1)
            std::abort();
        break;
    case PageSizeRule::Ignored:
        return 0;
    }
    const PageSizeRule again(PageSizeRule::textFor(asked));
    if (again.verdict() != rule.verdict() || again.size() != asked)
        std::abort();
    return 0;
}
