#pragma once

#include "StateContainer.h"

#include <QList>

// Run-to-completion machine: events posted while one is being handled wait
// in the queue until that one is finished.
class StateMachine : public StateContainer
{
public:
    void post(const EventPtr &event);
    void removeRetained(const EventPtr &event);
    void removeRetained(qint32 priority);

    static StatePtr stay(StatePtr source, EventPtr event);
    static StatePtr newState(StatePtr source, EventPtr event);
    static void storePayload(StatePtr source, EventPtr event);
    static void invokeCallback(StatePtr source, EventPtr event);
    static StateTarget withRegion(StateTarget outer, StateTarget inner);

    bool busy = false;
    QList<EventPtr> queue;
    QList<EventPtr> retained;

private:
    void retain(const EventPtr &event);
};
