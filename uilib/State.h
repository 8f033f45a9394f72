#pragma once

#include "Transition.h"

#include <QByteArray>
#include <QList>
#include <QMap>

#include <any>

class StateContainer;

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
