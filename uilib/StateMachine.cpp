#include "StateMachine.h"

#include <algorithm>

namespace {
qint32 retainedCounter = 0;
}

void StateMachine::post(const EventPtr &event)
{
    if (!event)
        return;
    queue.append(event);
    if (busy)
        return;
    busy = true;
    struct Idle { bool &busy; ~Idle() { busy = false; } } idle{busy};
    while (!queue.isEmpty()) {
        const EventPtr head = queue.takeFirst();
        if (head->retained)
            retain(head);
        dispatch(head, *this);
    }
}

void StateMachine::retain(const EventPtr &event)
{
    event->sequence = retainedCounter++;
    retained.append(event);
    std::stable_sort(retained.begin(), retained.end(), [](const EventPtr &a, const EventPtr &b) {
        if (a->priority != b->priority)
            return a->priority > b->priority;
        return a->sequence < b->sequence;
    });
}

void StateMachine::removeRetained(const EventPtr &event)
{
    retained.removeAll(event);
}

void StateMachine::removeRetained(qint32 priority)
{
    if (priority == -1) {
        retained.clear();
        return;
    }
    retained.erase(std::remove_if(retained.begin(), retained.end(),
                                  [priority](const EventPtr &e) { return e->priority == priority; }),
                   retained.end());
}

StatePtr StateMachine::stay(StatePtr source, EventPtr)
{
    return source;
}

StatePtr StateMachine::newState(StatePtr, EventPtr)
{
    return StatePtr::create();
}

void StateMachine::storePayload(StatePtr source, EventPtr event)
{
    if (source && event)
        source->data = event->payload;
}

void StateMachine::invokeCallback(StatePtr, EventPtr event)
{
    if (event && event->callback)
        event->callback();
}

StateTarget StateMachine::withRegion(StateTarget outer, StateTarget inner)
{
    return [outer, inner](StatePtr source, EventPtr event) {
        StatePtr state = outer(source, event);
        if (state)
            state->addRegion(inner);
        return state;
    };
}
