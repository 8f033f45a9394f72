#include "StateMachine.h"

#include <QHash>
#include <QStringList>
#include <QtTest>

namespace {

class NamedEvent : public Event
{
public:
    NamedEvent(const QByteArray &name, bool retained) : Event(retained), eventName(name) {}
    const char *name() const override { return eventName.constData(); }
    QByteArray eventName;
};

YUILIB_DECLARE_EVENT(SampleEvent)

// Each state's transitions as "event:target", "stay" for an internal one;
// A holds the regions A1 and B1. Entries, exits and actions are logged, an
// action as "<state>.<event>".
const QHash<QString, QString> graph = {
    {"A", "stay:stay reenter:A toC:C filtered:C shared:stay ignored:stay chain:stay post:stay"},
    {"A1", "next:A2 shared:stay ignored:stay"},
    {"B1", "shared:stay onlyB:B2"},
    {"C", "back:A replay:stay"}};

class Machine : public StateMachine
{
public:
    Machine()
    {
        start(target("A"));
        log.clear();
    }

    StateTarget target(const QString &name)
    {
        if (name == "stay")
            return stay;
        return [this, name](StatePtr, EventPtr) { return build(name); };
    }

    StatePtr build(const QString &name)
    {
        StatePtr state = StatePtr::create();
        state->data = name;
        state->onEntry = [this, name] { log << name + "+"; };
        state->onExit = [this, name] { log << name + "-"; };
        for (const QString &edge : graph.value(name).split(' ', Qt::SkipEmptyParts)) {
            const QString note = name + "." + edge.section(':', 0, 0);
            state->addTransition(edge.section(':', 0, 0).toUtf8(), target(edge.section(':', 1)),
                                 [this, note](StatePtr, EventPtr e) { act(note, e); })
                ->filter = [note](EventPtr) { return note == "A.filtered"; };
        }
        if (name == "A") {
            state->addRegion(target("A1"));
            state->addRegion(target("B1"));
        }
        return state;
    }

    void act(const QString &note, const EventPtr &event)
    {
        log << note;
        if (note == "A1.ignored")
            event->ignore();
        if (note == "A.post") {
            post(EventPtr(new NamedEvent("chain", false)));
            log << "A.post.end";
        }
    }

    QString describe(const StatePtr &state) const
    {
        QStringList inner;
        for (const auto &region : state->regions)
            inner << describe(region->current());
        const QString name = std::any_cast<QString>(state->data);
        return inner.isEmpty() ? name : name + "(" + inner.join(",") + ")";
    }

    QStringList log;
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
    QTest::newRow("internal keeps regions") << "next stay" << "A1.next A1- A2+ A.stay" << "A(A2,B1)";
    QTest::newRow("external restarts regions")
        << "next reenter" << "A1.next A1- A2+ A.reenter A2- B1- A- A+ A1+ B1+" << "A(A1,B1)";
    QTest::newRow("re-entry has no history")
        << "onlyB toC back" << "B1.onlyB B1- B2+ A.toC A1- B2- A- C+ C.back C- A+ A1+ B1+" << "A(A1,B1)";
    QTest::newRow("posted from action runs after") << "post stay" << "A.post A.post.end A.chain A.stay" << "A(A1,B1)";
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
    QVERIFY(machine.queue.isEmpty() && !machine.busy);
}

void tst_StateMachine::retained_data()
{
    QTest::addColumn<QList<int>>("priorities");
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QList<int>>("left");

    QTest::newRow("equal keep posting order") << QList<int>{0, 0, 0} << QList<int>{0, 1, 2} << 7 << QList<int>{0, 0, 0};
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
    QList<EventPtr> posted, expected;
    for (int priority : priorities) {
        posted << EventPtr(new NamedEvent("parked", true));
        posted.last()->priority = priority;
        machine.post(posted.last());
        QCOMPARE(posted.last()->sequence, posted.first()->sequence + posted.size() - 1);
    }
    for (int i : order)
        expected << posted.at(i);
    QCOMPARE(machine.retained, expected);
    QVERIFY(machine.log.isEmpty());

    machine.removeRetained(qint32(removed));
    QList<int> remaining;
    for (const EventPtr &event : machine.retained)
        remaining << event->priority;
    QCOMPARE(remaining, left);
    if (!left.isEmpty()) {
        machine.removeRetained(machine.retained.first());
        QCOMPARE(machine.retained.size(), left.size() - 1);
    }
}

void tst_StateMachine::stockHelpers()
{
    StateMachine machine;
    StatePtr inner;
    const StateTarget region = [&inner](StatePtr, EventPtr) { return inner = StatePtr::create(); };
    machine.start(StateMachine::withRegion(StateMachine::newState, region));
    const StatePtr root = machine.current();
    QCOMPARE(root->regions.size(), 1);
    QCOMPARE(root->regions.first()->current(), inner);

    const EventPtr sample = SampleEvent::create(QPoint(3, 4));
    QCOMPARE(sample->name(), "SampleEvent");
    int calls = 0;
    sample->callback = [&calls] { ++calls; };
    for (TransitionAction action : {StateMachine::storePayload, StateMachine::invokeCallback}) {
        root->addTransition("SampleEvent", StateMachine::stay, action);
        machine.post(sample);
    }
    QCOMPARE(std::any_cast<QPoint>(root->data), QPoint(3, 4));
    QCOMPARE(calls, 1);
    QCOMPARE(machine.current(), root);

    root->addTransition("SampleEvent", StateTarget());
    QVERIFY_EXCEPTION_THROWN(machine.post(sample), std::bad_function_call);
    QVERIFY(!machine.busy);
}

QTEST_GUILESS_MAIN(tst_StateMachine)
#include "tst_statemachine.moc"
