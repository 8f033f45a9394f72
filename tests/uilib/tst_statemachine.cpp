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

// A(region 1: A1 -> A2, region 2: B1 -> B2) and C; every entry, exit and
// action is logged, an action as "<state>.<event>".
class Machine : public StateMachine
{
public:
    struct Edge
    {
        const char *event;
        StateTarget target;
        TransitionAction action = {};
    };

    Machine()
    {
        a = [this](StatePtr, EventPtr) {
            StatePtr state = build("A", {{"stay", stay}, {"reenter", a}, {"toC", c}, {"filtered", c}, {"shared", stay},
                                         {"ignored", stay}, {"chain", stay}, {"post", stay, [this](StatePtr, EventPtr) {
                                              log << "A.post";
                                              post(named("chain"));
                                              log << "A.post.end";
                                          }}});
            state->transitions["filtered"]->filter = [](EventPtr) { return true; };
            state->addRegion(a1);
            state->addRegion(b1);
            return state;
        };
        a1 = [this](StatePtr, EventPtr) {
            return build("A1", {{"next", a2}, {"shared", stay}, {"ignored", stay, [this](StatePtr, EventPtr event) {
                                     log << "A1.ignored";
                                     event->ignore();
                                 }}});
        };
        a2 = [this](StatePtr, EventPtr) { return build("A2", {}); };
        b1 = [this](StatePtr, EventPtr) { return build("B1", {{"shared", stay}, {"onlyB", b2}}); };
        b2 = [this](StatePtr, EventPtr) { return build("B2", {}); };
        c = [this](StatePtr, EventPtr) { return build("C", {{"back", a}, {"replay", stay}}); };
        start(a);
        log.clear();
    }

    StatePtr build(const QString &name, const QList<Edge> &edges)
    {
        StatePtr state = StatePtr::create();
        names.insert(state.data(), name);
        state->onEntry = [this, name] { log << name + "+"; };
        state->onExit = [this, name] { log << name + "-"; };
        for (const Edge &edge : edges) {
            const QString note = name + "." + edge.event;
            state->addTransition(edge.event, edge.target,
                                 edge.action ? edge.action : [this, note](StatePtr, EventPtr) { log << note; });
        }
        return state;
    }

    QString describe(const StatePtr &state) const
    {
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
    void transitions_data();
    void transitions();
    void retained_data();
    void retained();
    void stockHelpers();
};

void tst_StateMachine::transitions_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("config");

    QTest::newRow("restart enters regions in order") << "" << "A1- B1- A- A+ A1+ B1+" << "A(A1,B1)";
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
    QTest::newRow("retained replays after transition") << "*replay toC" << "A.toC A1- B1- A- C+ C.replay" << "C";
}

// An empty list restarts the machine; a name starting with '*' is retained.
void tst_StateMachine::transitions()
{
    QFETCH(QString, events);
    QFETCH(QString, log);
    QFETCH(QString, config);

    Machine machine;
    if (events.isEmpty())
        machine.start();
    for (const QString &name : events.split(' ', Qt::SkipEmptyParts)) {
        const bool retained = name.startsWith('*');
        machine.post(EventPtr(new NamedEvent(name.mid(retained).toUtf8(), retained)));
        QCOMPARE(machine.retained.size(), retained ? 1 : 0);
    }
    QCOMPARE(machine.log.join(' '), log);
    QCOMPARE(machine.describe(machine.current()), config);
    QVERIFY(machine.queue.isEmpty());
    QVERIFY(!machine.busy);
}

void tst_StateMachine::retained_data()
{
    QTest::addColumn<QList<int>>("priorities");
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QList<int>>("left");

    QTest::newRow("equal keep posting order") << QList<int>{0, 0, 0} << QList<int>{0, 1, 2} << 7 << QList<int>{0, 0, 0};
    QTest::newRow("higher first") << QList<int>{0, 5, 0} << QList<int>{1, 0, 2} << 0 << QList<int>{5};
    QTest::newRow("mixed") << QList<int>{1, 2, 2, 1, -3} << QList<int>{1, 2, 0, 3, 4} << 1 << QList<int>{2, 2, -3};
    QTest::newRow("minus one empties") << QList<int>{1, 2, 3} << QList<int>{2, 1, 0} << -1 << QList<int>{};
}

void tst_StateMachine::retained()
{
    QFETCH(QList<int>, priorities);
    QFETCH(QList<int>, order);
    QFETCH(int, removed);
    QFETCH(QList<int>, left);

    Machine machine;
    QList<EventPtr> posted;
    for (int priority : priorities) {
        posted << EventPtr(new NamedEvent("parked", true, priority));
        machine.post(posted.last());
    }
    QVERIFY(machine.log.isEmpty());
    QList<EventPtr> expected;
    for (int i : order)
        expected << posted.at(i);
    QCOMPARE(machine.retained, expected);
    for (int i = 1; i < posted.size(); ++i)
        QCOMPARE(posted.at(i)->sequence, posted.at(i - 1)->sequence + 1);

    machine.removeRetained(qint32(removed));
    QList<int> remaining;
    for (const EventPtr &event : machine.retained)
        remaining << event->priority;
    QCOMPARE(remaining, left);
    if (!machine.retained.isEmpty()) {
        const EventPtr first = machine.retained.first();
        machine.removeRetained(first);
        QCOMPARE(machine.retained.size(), left.size() - 1);
        QVERIFY(!machine.retained.contains(first));
    }
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

    // A transition without a target throws and leaves the machine usable.
    root->addTransition("SampleEvent", StateTarget());
    QVERIFY_EXCEPTION_THROWN(machine.post(sample), std::bad_function_call);
    QVERIFY(!machine.busy);
}

QTEST_GUILESS_MAIN(tst_StateMachine)
#include "tst_statemachine.moc"
