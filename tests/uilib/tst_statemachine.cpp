#include "StateMachine.h"

#include <QHash>
#include <QStringList>
#include <QtTest>

namespace {

class NamedEvent : public Event
{
public:
    explicit NamedEvent(const QByteArray &name, bool retained = false, qint32 priority = 0)
        : Event(retained), eventName(name)
    {
        this->priority = priority;
    }
    const char *name() const override { return eventName.constData(); }

private:
    QByteArray eventName;
};

YUILIB_DECLARE_EVENT(SampleEvent)

EventPtr named(const QByteArray &name) { return EventPtr(new NamedEvent(name)); }

// A(region 1: A1 -> A2, region 2: B1 -> B2) and C; every step is logged.
class Machine : public StateMachine
{
public:
    Machine()
    {
        a = [this](StatePtr, EventPtr) { return buildA(); };
        a1 = [this](StatePtr, EventPtr) { return buildA1(); };
        a2 = [this](StatePtr, EventPtr) { return build("A2"); };
        b1 = [this](StatePtr, EventPtr) { return buildB1(); };
        b2 = [this](StatePtr, EventPtr) { return build("B2"); };
        c = [this](StatePtr, EventPtr) { return buildC(); };
        start(a);
        log.clear();
    }

    TransitionAction note(const QString &text)
    {
        return [this, text](StatePtr, EventPtr) { log << text; };
    }

    StatePtr build(const QString &name)
    {
        StatePtr state = StatePtr::create();
        names.insert(state.data(), name);
        state->onEntry = [this, name] { log << name + "+"; };
        state->onExit = [this, name] { log << name + "-"; };
        return state;
    }

    StatePtr buildA()
    {
        StatePtr state = build("A");
        state->addRegion(a1);
        state->addRegion(b1);
        state->addTransition("stay", stay, note("A.stay"));
        state->addTransition("reenter", a, note("A.reenter"));
        state->addTransition("toC", c, note("A.toC"));
        state->addTransition("filtered", c, note("A.filtered"))->filter = [](EventPtr) { return true; };
        state->addTransition("shared", stay, note("A.shared"));
        state->addTransition("ignored", stay, note("A.ignored"));
        state->addTransition("chain", stay, note("A.chain"));
        state->addTransition("post", stay, [this](StatePtr, EventPtr) {
            log << "A.post";
            post(named("chain"));
            log << "A.post.end";
        });
        return state;
    }

    StatePtr buildA1()
    {
        StatePtr state = build("A1");
        state->addTransition("next", a2, note("A1.next"));
        state->addTransition("shared", stay, note("A1.shared"));
        state->addTransition("ignored", stay, [this](StatePtr, EventPtr event) {
            log << "A1.ignored";
            event->ignore();
        });
        return state;
    }

    StatePtr buildB1()
    {
        StatePtr state = build("B1");
        state->addTransition("shared", stay, note("B1.shared"));
        state->addTransition("onlyB", b2, note("B1.onlyB"));
        return state;
    }

    StatePtr buildC()
    {
        StatePtr state = build("C");
        state->addTransition("back", a, note("C.back"));
        state->addTransition("replay", stay, note("C.replay"));
        return state;
    }

    QString describe(const StatePtr &state) const
    {
        if (!state)
            return "-";
        QStringList inner;
        for (const auto &region : state->regions)
            inner << describe(region->current());
        const QString name = names.value(state.data());
        return inner.isEmpty() ? name : name + "(" + inner.join(",") + ")";
    }

    QStringList log;
    QHash<const State *, QString> names;
    StateTarget a, a1, a2, b1, b2, c;
};

} // namespace

class tst_StateMachine : public QObject
{
    Q_OBJECT

private slots:
    void startEntersRegionsInOrder();
    void transitions_data();
    void transitions();
    void retainedOrder_data();
    void retainedOrder();
    void retainedReplayAfterTransition();
    void removeRetained_data();
    void removeRetained();
    void stockHelpers();
    void missingTargetThrows();
};

void tst_StateMachine::startEntersRegionsInOrder()
{
    Machine machine;
    machine.start();
    QCOMPARE(machine.log.join(' '), QString("A1- B1- A- A+ A1+ B1+"));
    QCOMPARE(machine.describe(machine.current()), QString("A(A1,B1)"));
}

void tst_StateMachine::transitions_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("config");

    QTest::newRow("unknown name is dropped") << "nothing" << "" << "A(A1,B1)";
    QTest::newRow("internal runs action only") << "stay" << "A.stay" << "A(A1,B1)";
    QTest::newRow("internal keeps regions") << "next stay" << "A1.next A1- A2+ A.stay" << "A(A2,B1)";
    QTest::newRow("external restarts regions")
        << "next reenter" << "A1.next A1- A2+ A.reenter A2- B1- A- A+ A1+ B1+" << "A(A1,B1)";
    QTest::newRow("inner exits before outer") << "toC" << "A.toC A1- B1- A- C+" << "C";
    QTest::newRow("re-entry has no history")
        << "onlyB toC back" << "B1.onlyB B1- B2+ A.toC A1- B2- A- C+ C.back C- A+ A1+ B1+" << "A(A1,B1)";
    QTest::newRow("posted from action runs after")
        << "post stay" << "A.post A.post.end A.chain A.stay" << "A(A1,B1)";
    QTest::newRow("accepted stops in first region") << "shared" << "A1.shared" << "A(A1,B1)";
    QTest::newRow("second region sees unhandled") << "onlyB" << "B1.onlyB B1- B2+" << "A(A1,B2)";
    QTest::newRow("ignored reaches outer") << "ignored" << "A1.ignored A.ignored" << "A(A1,B1)";
    QTest::newRow("filter blocks action and target") << "filtered" << "" << "A(A1,B1)";
}

void tst_StateMachine::transitions()
{
    QFETCH(QString, events);
    QFETCH(QString, log);
    QFETCH(QString, config);

    Machine machine;
    for (const QString &name : events.split(' '))
        machine.post(named(name.toUtf8()));
    QCOMPARE(machine.log.join(' '), log);
    QCOMPARE(machine.describe(machine.current()), config);
    QVERIFY(machine.queue.isEmpty());
    QVERIFY(!machine.busy);
}

void tst_StateMachine::retainedOrder_data()
{
    QTest::addColumn<QList<int>>("priorities");
    QTest::addColumn<QList<int>>("order");

    QTest::newRow("equal keep posting order") << QList<int>{0, 0, 0} << QList<int>{0, 1, 2};
    QTest::newRow("higher first") << QList<int>{0, 5, 0} << QList<int>{1, 0, 2};
    QTest::newRow("mixed") << QList<int>{1, 2, 2, 1, -3} << QList<int>{1, 2, 0, 3, 4};
}

void tst_StateMachine::retainedOrder()
{
    QFETCH(QList<int>, priorities);
    QFETCH(QList<int>, order);

    Machine machine;
    QList<EventPtr> posted;
    for (int priority : priorities) {
        posted << EventPtr(new NamedEvent("parked", true, priority));
        machine.post(posted.last());
    }
    QCOMPARE(machine.retained.size(), order.size());
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(machine.retained.at(i), posted.at(order.at(i)));
    for (int i = 1; i < posted.size(); ++i)
        QCOMPARE(posted.at(i)->sequence, posted.at(i - 1)->sequence + 1);
    QVERIFY(machine.log.isEmpty());
}

void tst_StateMachine::retainedReplayAfterTransition()
{
    Machine machine;
    const EventPtr replay(new NamedEvent("replay", true));
    machine.post(replay);
    QCOMPARE(machine.retained, QList<EventPtr>{replay});

    machine.post(named("toC"));
    QCOMPARE(machine.log.join(' '), QString("A.toC A1- B1- A- C+ C.replay"));
    QVERIFY(machine.retained.isEmpty());
}

void tst_StateMachine::removeRetained_data()
{
    QTest::addColumn<QList<int>>("priorities");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QList<int>>("left");

    QTest::newRow("one priority") << QList<int>{1, 2, 1} << 1 << QList<int>{2};
    QTest::newRow("absent priority") << QList<int>{1, 2} << 7 << QList<int>{2, 1};
    QTest::newRow("minus one empties") << QList<int>{1, 2, 3} << -1 << QList<int>{};
}

void tst_StateMachine::removeRetained()
{
    QFETCH(QList<int>, priorities);
    QFETCH(int, removed);
    QFETCH(QList<int>, left);

    Machine machine;
    for (int priority : priorities)
        machine.post(EventPtr(new NamedEvent("parked", true, priority)));
    machine.removeRetained(qint32(removed));
    QList<int> remaining;
    for (const EventPtr &event : machine.retained)
        remaining << event->priority;
    QCOMPARE(remaining, left);

    const EventPtr first = machine.retained.value(0);
    machine.removeRetained(first);
    QCOMPARE(machine.retained.contains(first), false);
}

void tst_StateMachine::stockHelpers()
{
    const EventPtr sample = SampleEvent::create(QPoint(3, 4));
    QCOMPARE(sample->name(), "SampleEvent");
    QCOMPARE(sample->retained, false);
    QCOMPARE(sample->accepted, true);

    StateMachine machine;
    int calls = 0;
    StatePtr seen;
    const StateTarget inner = [&seen](StatePtr, EventPtr) { return seen = StatePtr::create(); };
    machine.start(StateMachine::withRegion(StateMachine::newState, inner));
    const StatePtr root = machine.current();
    QCOMPARE(root->regions.size(), 1);
    QCOMPARE(root->regions.first()->current(), seen);

    root->addTransition("SampleEvent", StateMachine::stay, StateMachine::storePayload);
    machine.post(sample);
    QCOMPARE(std::any_cast<QPoint>(root->data), QPoint(3, 4));

    root->addTransition("SampleEvent", StateMachine::stay, StateMachine::invokeCallback);
    sample->callback = [&calls] { ++calls; };
    machine.post(sample);
    QCOMPARE(calls, 1);
    QCOMPARE(machine.current(), root);
    QCOMPARE(root->addTransition("SampleEvent", TransitionPtr()), false);
}

void tst_StateMachine::missingTargetThrows()
{
    StateMachine machine;
    machine.start(StateMachine::newState);
    machine.current()->addTransition("SampleEvent", StateTarget());
    QVERIFY_EXCEPTION_THROWN(machine.post(SampleEvent::create()), std::bad_function_call);
    QVERIFY(!machine.busy);
}

QTEST_GUILESS_MAIN(tst_StateMachine)
#include "tst_statemachine.moc"
