#include "Transition.h"

StatePtr Transition::fire(const StatePtr &source, const EventPtr &event) const
{
    if (filter && filter(event))
        return {};
    if (action)
        action(source, event);
    return target(source, event);
}
