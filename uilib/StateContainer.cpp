#include "StateContainer.h"

#include "StateMachine.h"

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
