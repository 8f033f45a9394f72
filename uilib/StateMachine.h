#pragma once

#include "Event.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSharedPointer>

#include <any>
#include <functional>

struct State;
class StateContainer;
class StateMachine;

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

struct State
{
    std::function<void()> onEntry;
    std::function<void()> onExit;
    QMap<QByteArray, TransitionPtr> transitions;
    QList<QSharedPointer<StateContainer>> regions;
    std::any data;

    TransitionPtr addTransition(const char *name, StateTarget target, TransitionAction action = {});
    bool addTransition(const char *name, const TransitionPtr &transition);
    QSharedPointer<StateContainer> addRegion(StateTarget target);
    QSharedPointer<StateContainer> addRegion(const TransitionPtr &initial);
};

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
