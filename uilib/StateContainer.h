#pragma once

#include "State.h"

class StateMachine;

// A region: one current state, picked first by the initial transition.
class StateContainer
{
public:
    virtual ~StateContainer() = default;

    void start();
    void start(StateTarget target);
    StatePtr current() const { return currentState; }

    TransitionPtr initial;

protected:
    friend class StateMachine;
    StatePtr dispatch(const EventPtr &event, StateMachine &machine);
    void setCurrent(const StatePtr &next);
    void exit();

    static StatePtr handle(const StatePtr &state, const EventPtr &event, StateMachine &machine);
    static void enterState(const StatePtr &state);
    static void exitState(const StatePtr &state);

    StatePtr currentState;
};
