#include "State.h"

#include "StateContainer.h"

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
