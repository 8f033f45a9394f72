#include "StateMachine.h"

#include <algorithm>

namespace {
qint32 retainedCounter = 0;
}

StatePtr Transition::fire(const StatePtr &source, const EventPtr &event) const
{
    if (filter && filter(event))
        return {};
    if (action)
        action(source, event);
    return target(source, event);
}

TransitionPtr State::addTransition(const char *name, StateTarget target, TransitionAction action)
{
    TransitionPtr transition = TransitionPtr::create();
    transition->target = std::move(target);
    transition->action = std::move(action);
    transitions.insert(QByteArray(name), transition);
    return transition;
}

bool State::addTransition(const char *name, const TransitionPtr &transition)
{
    if (!transition)
        return false;
    transitions.insert(QByteArray(name), transition);
    return true;
}

QSharedPointer<StateContainer> State::addRegion(StateTarget target)
{
    TransitionPtr initial = TransitionPtr::create();
    initial->target = std::move(target);
    return addRegion(initial);
}

QSharedPointer<StateContainer> State::addRegion(const TransitionPtr &initial)
{
    QSharedPointer<StateContainer> region = QSharedPointer<StateContainer>::create();
    region->initial = initial;
    regions.append(region);
    return region;
}

void StateContainer::start()
{
    if (initial)
        setCurrent(initial->fire({}, {}));
}

void StateContainer::start(StateTarget target)
{
    initial = TransitionPtr::create();
    initial->target = std::move(target);
    start();
}

StatePtr StateContainer::dispatch(const EventPtr &event, StateMachine &machine)
{
    const StatePtr source = currentState;
    if (!source)
        return {};
    const StatePtr outcome = handle(source, event, machine);
    if (!outcome)
        return {};
    // Removing the event itself rather than blindly the head keeps a retained
    // event that did not sort first from evicting another one.
    if (event->retained)
        machine.retained.removeAll(event);
    setCurrent(outcome);
    if (!machine.retained.isEmpty())
        dispatch(machine.retained.first(), machine);
    return outcome;
}

StatePtr StateContainer::handle(const StatePtr &state, const EventPtr &event, StateMachine &machine)
{
    const QList<QSharedPointer<StateContainer>> regions = state->regions;
    for (const QSharedPointer<StateContainer> &region : regions) {
        if (region->dispatch(event, machine)) {
            if (event->accepted)
                return {};
            break;
        }
    }
    const TransitionPtr transition = state->transitions.value(QByteArray(event->name()));
    return transition ? transition->fire(state, event) : StatePtr();
}

void StateContainer::setCurrent(const StatePtr &next)
{
    if (next == currentState)
        return;
    if (const StatePtr previous = currentState)
        exitState(previous);
    currentState = next;
    if (next)
        enterState(next);
}

void StateContainer::exit()
{
    if (const StatePtr previous = currentState) {
        exitState(previous);
        currentState.reset();
    }
}

void StateContainer::enterState(const StatePtr &state)
{
    if (state->onEntry)
        state->onEntry();
    const QList<QSharedPointer<StateContainer>> regions = state->regions;
    for (const QSharedPointer<StateContainer> &region : regions)
        region->start();
}

void StateContainer::exitState(const StatePtr &state)
{
    const QList<QSharedPointer<StateContainer>> regions = state->regions;
    for (const QSharedPointer<StateContainer> &region : regions)
        region->exit();
    if (state->onExit)
        state->onExit();
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
