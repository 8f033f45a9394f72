#pragma once

#include "Event.h"

#include <QSharedPointer>

#include <functional>

struct State;
using EventPtr = QSharedPointer<Event>;
using StatePtr = QSharedPointer<State>;
using StateTarget = std::function<StatePtr(StatePtr, EventPtr)>;
using TransitionAction = std::function<void(StatePtr, EventPtr)>;
using TransitionFilter = std::function<bool(EventPtr)>;

struct Transition
{
    TransitionFilter filter;   // returning true blocks the transition
    TransitionAction action;
    StateTarget target;

    // Null when the filter blocks; otherwise the target's answer.
    StatePtr fire(const StatePtr &source, const EventPtr &event) const;
};
using TransitionPtr = QSharedPointer<Transition>;
