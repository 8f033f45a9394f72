#include "StateMachine.h"

#include <QtTest>

struct NamedEvent : Event
{
    NamedEvent(const QByteArray &name, bool retained) : Event(retained), eventName(name) {}
    const char *name() const override { return eventName.constData(); }
    QByteArray eventName;
};

// Each state's transitions as "event:target", "stay" for an internal one; A holds the regions A1 and B1.
// Entries, exits and actions are logged, an action as "<state>.<event>".
const QHash<QString, QString> graph = {
    {"A", "stay:stay reenter:A toC:C filtered:C shared:stay ignored:stay chain:stay post:stay"},
    {"A1", "next:A2 shared:stay ignored:stay"},
    {"B1", "shared:stay onlyB:B2"},
    {"C", "back:A replay:stay"}};

class Machine : public StateMachine
{
public:
    Machine() { start(target("A")); log.clear(); }

    StateTarget target(const QString &name)
    {
        return name == "stay" ? StateTarget(stay) : [this, name](StatePtr, EventPtr) { return build(name); };
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

class tst_StateMachine : public QObject
{
    Q_OBJECT

private slots:
    void transitions_data()
    {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("parked");
        const auto row = [](const char *name, const char *events, const char *log, const char *config,
                            const char *parked = "") { QTest::newRow(name) << events << log << config << parked; };
        row("restart enters regions in order", "", "A1- B1- A- A+ A1+ B1+", "A(A1,B1)");
        row("unknown name is dropped", "nothing", "", "A(A1,B1)");
        row("internal keeps regions", "next stay", "A1.next A1- A2+ A.stay", "A(A2,B1)");
        row("external restarts regions", "next reenter", "A1.next A1- A2+ A.reenter A2- B1- A- A+ A1+ B1+", "A(A1,B1)");
        row("re-entry has no history", "onlyB toC back", "B1.onlyB B1- B2+ A.toC A1- B2- A- C+ C.back C- A+ A1+ B1+",
            "A(A1,B1)");
        row("posted from action runs after", "post stay", "A.post A.post.end A.chain A.stay", "A(A1,B1)");
        row("accepted stops in first region", "shared", "A1.shared", "A(A1,B1)");
        row("ignored reaches outer", "ignored", "A1.ignored A.ignored", "A(A1,B1)");
        row("filter blocks action and target", "filtered", "", "A(A1,B1)");
        row("retained replays after transition", "*replay toC", "A.toC A1- B1- A- C+ C.replay", "C");
        row("retained of equal priority in posting order", "*x *y *z", "", "A(A1,B1)", "x y z");
        row("retained of higher priority first", "*x *y@5 *z@-3 *w@5", "", "A(A1,B1)", "y w x z");
        row("retained removed by priority", "*x@1 *y@2 *z@1 ~1", "", "A(A1,B1)", "y");
        row("retained all removed", "*x@1 *y@2 ~-1", "", "A(A1,B1)", "");
    }

    // An empty list restarts; "*name@p" posts a retained event of priority p, "~p" removes those of priority p.
    void transitions()
    {
        QFETCH(QString, events);
        QFETCH(QString, log);
        QFETCH(QString, config);
        QFETCH(QString, parked);
        Machine machine;
        if (events.isEmpty())
            machine.start();
        for (const QString &token : events.split(' ', Qt::SkipEmptyParts)) {
            if (token.startsWith('~')) {
                machine.removeRetained(qint32(token.mid(1).toInt()));
                continue;
            }
            const bool retained = token.startsWith('*');
            EventPtr event(new NamedEvent(token.mid(retained).section('@', 0, 0).toUtf8(), retained));
            event->priority = token.section('@', 1).toInt();
            machine.post(event);
        }
        QStringList left;
        for (const EventPtr &event : machine.retained)
            left << event->name();
        QCOMPARE(machine.log.join(' '), log);
        QCOMPARE(machine.describe(machine.current()), config);
        QCOMPARE(left.join(' '), parked);
        QVERIFY(machine.queue.isEmpty() && !machine.busy);
    }
};

QTEST_GUILESS_MAIN(tst_StateMachine)
#include "tst_statemachine.moc"
