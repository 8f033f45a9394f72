#pragma once

#include <QSharedPointer>
#include <QtGlobal>

#include <any>
#include <functional>
#include <utility>

// Base of every event a StateMachine handles. Transitions are looked up by
// name(), so each concrete type must return its own, unique type name.
class Event
{
public:
    explicit Event(bool retained = false) : retained(retained) {}
    virtual ~Event() = default;
    virtual const char *name() const = 0;

    void accept() { accepted = true; }
    void ignore() { accepted = false; }

    std::function<void()> callback;
    bool accepted = true;
    bool retained = false;
    std::any payload;
    qint32 sequence = 0;
    qint32 priority = 0;
};

// Declares an event type that adds nothing but its name and a factory.
#define YUILIB_DECLARE_EVENT(Type)                                               \
    class Type : public Event                                                    \
    {                                                                            \
    public:                                                                      \
        using Event::Event;                                                      \
        const char *name() const override { return staticName(); }               \
        static const char *staticName() { return #Type; }                        \
        static QSharedPointer<Event> create(std::any payload = {})               \
        {                                                                        \
            QSharedPointer<Type> event = QSharedPointer<Type>::create(false);    \
            event->payload = std::move(payload);                                 \
            return event;                                                        \
        }                                                                        \
    };
