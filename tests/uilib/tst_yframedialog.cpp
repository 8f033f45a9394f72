#include "ModalRunner.h"
#include "YFrameDialog.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QWindow>

namespace {

using Buttons = YFrameDialog::StandardButtons;
const int shadow = 18;

// A 344 x 239 dialog around 300 x 100 content.
void prepare(YFrameDialog &dialog, Buttons buttons)
{
    dialog.addButtons(buttons);
    auto *content = new QLabel("content");
    content->resize(300, 100);
    dialog.setCentralWidget(content, true);
}

int run(YFrameDialog &dialog, const std::function<void(QDialog *)> &interact, bool noShadow = false)
{
    return runModal([&] { return dialog.exec(nullptr, noShadow); }, interact);
}

// Pointer input through the window system. The pointer stays at its global
// position while the wrapper moves; positions are given in the frame
// dialog's coordinates at the moment of moving.
struct Pointer
{
    QDialog *box;
    YFrameDialog *dialog;
    QPoint global;

    QPoint local() const { return box->mapFromGlobal(global); }
    void moveTo(QPoint to)
    {
        global = to;
        QTest::mouseMove(box->windowHandle(), local());
    }
    void move(QPoint pos) { moveTo(dialog->mapToGlobal(pos)); }
    void press() { QTest::mousePress(box->windowHandle(), Qt::LeftButton, {}, local()); }
    void release() { QTest::mouseRelease(box->windowHandle(), Qt::LeftButton, {}, local()); }
    void doubleClick() { QTest::mouseDClick(box->windowHandle(), Qt::LeftButton, {}, local()); }
    Qt::CursorShape cursor() const { return dialog->cursor().shape(); }
    // The window system confirms a new geometry later than the widget takes
    // it; input sent before would land at the old place.
    bool settled() const
    {
        return QTest::qWaitFor([this] { return box->windowHandle()->geometry() == box->geometry(); });
    }
};

} // namespace

Q_DECLARE_METATYPE(Buttons)

class tst_YFrameDialog : public QObject
{
    Q_OBJECT

private slots:
    void result_data();
    void result();
    void guardianAndReuse();
    void getText_data();
    void getText();
    void mouse_data();
    void mouse();
    void maximiseAndDragRestore();
    void shadowFollowsActivation();
};

void tst_YFrameDialog::result_data()
{
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<int>("mask");
    QTest::addColumn<bool>("noShadow");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>("row");
    QTest::addColumn<int>("result");

    using D = YFrameDialog;
    for (bool noShadow : {false, true}) {
        const QByteArray tag = noShadow ? " without shadow" : "";
        QTest::newRow("Ok closed" + tag) << Buttons(D::Ok) << 0 << noShadow << "close" << "确认:140+60x26" << 0x400;
        QTest::newRow("Ok Cancel closed" + tag)
            << (D::Ok | D::Cancel) << 0 << noShadow << "close" << "确认:98+60x26 取消:182+60x26" << int(D::Cancel);
        QTest::newRow("Yes No closed" + tag) << (D::Yes | D::No) << 0 << noShadow << "close" << "是:110+48x26 否:182+48x26" << int(D::No);
    }
    QTest::newRow("one left by mask")
        << (D::Yes | D::No | D::Retry) << int(D::Retry) << false << "close" << "重试:140+60x26" << int(D::Retry);
    QTest::newRow("no buttons closed") << Buttons() << 0 << false << "close" << "" << 0;
    QTest::newRow("Yes clicked") << (D::Yes | D::No) << 0 << false << "是" << "是:110+48x26 否:182+48x26" << int(D::Yes);
    QTest::newRow("Discard clicked")
        << (D::Save | D::Discard | D::Cancel) << 0 << false << "放弃" << "保存:56+60x26 放弃:140+60x26 取消:224+60x26" << int(D::Discard);
    QTest::newRow("Save all clicked")
        << (D::SaveAll | D::NoToAll) << 0 << false << "全部保存" << "全部保存:98+60x26 全否:182+60x26" << int(D::SaveAll);
    QTest::newRow("row by role, then value") << (D::Cancel | D::Save | D::Apply | D::Ok) << 0 << false << "确认"
                                             << "应用:14+60x26 确认:98+60x26 保存:182+60x26 取消:266+60x26" << 0x400;
}

// Each row lists the visible buttons left to right with their widths; they
// are 24 apart and centred in the row.
void tst_YFrameDialog::result()
{
    QFETCH(Buttons, buttons);
    QFETCH(int, mask);
    QFETCH(bool, noShadow);
    QFETCH(QString, click);
    QFETCH(QString, row);
    QFETCH(int, result);

    YFrameDialog dialog;
    prepare(dialog, buttons);
    if (mask)
        dialog.updateButtonMask(Buttons(mask));
    const QSize size = dialog.size();
    const int s = noShadow ? 0 : shadow;
    const int code = run(dialog, [&](QDialog *box) {
        QCOMPARE(box->size(), size + QSize(2 * s, 2 * s));
        QCOMPARE(dialog.geometry(), QRect(QPoint(s, s), size));
        QCOMPARE(box->testAttribute(Qt::WA_TranslucentBackground), !noShadow);
        QVERIFY(box->windowFlags() & Qt::FramelessWindowHint);
        QWidget *group = dialog.findChild<QWidget *>("buttonGroup");
        QMap<int, QString> shown;
        for (QAbstractButton *b : group->findChildren<QAbstractButton *>()) {
            if (!b->isVisible())
                continue;
            shown.insert(b->x(), QString("%1:%2+%3x%4").arg(b->text()).arg(b->x()).arg(b->width()).arg(b->height()));
            QCOMPARE(b->y(), (group->height() - 15 - 26) / 2);
        }
        QCOMPARE(QStringList(shown.values()).join(' '), row);
        if (click != "close")
            QCOMPARE(YFrameDialog::standardButton(findButton(box, click)), YFrameDialog::StandardButton(result));
        ::click(box, click);
    }, noShadow);
    QCOMPARE(code, result);
    QVERIFY(!dialog.parentWidget());
}

// The first click is swallowed; the dialog returns to its owner after
// each run and can run again.
void tst_YFrameDialog::guardianAndReuse()
{
    QWidget owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    auto *dialog = new YFrameDialog(&owner);
    prepare(*dialog, YFrameDialog::Ok | YFrameDialog::Cancel);
    QList<int> guarded;
    dialog->setStandardGuardian([&guarded](YFrameDialog::StandardButton b) {
        guarded << b;
        return guarded.size() == 1;
    });
    const QList<QPair<QStringList, int>> runs = {{{"确认", "取消"}, YFrameDialog::Cancel}, {{"确认"}, YFrameDialog::Ok}};
    for (const auto &[captions, result] : runs) {
        const int code = runModal([&] { return dialog->exec(); }, [&](QDialog *box) {
            QCOMPARE(box->parentWidget(), &owner);
            for (const QString &caption : captions) {
                QVERIFY(box->isVisible());
                click(box, caption);
                QTest::qWait(50);
            }
        });
        QCOMPARE(code, result);
        QCOMPARE(dialog->parentWidget(), &owner);
        QVERIFY(!dialog->isVisible());
        QVERIFY(owner.findChildren<QDialog *>().isEmpty());
    }
    QCOMPARE(guarded, (QList<int>{YFrameDialog::Ok, YFrameDialog::Cancel, YFrameDialog::Ok}));
}

void tst_YFrameDialog::getText_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("result");

    QTest::newRow("ok") << QStringList{"def", "确认"} << "abcdef";
    QTest::newRow("cancel") << QStringList{"def", "取消"} << "";
    QTest::newRow("close") << QStringList{"def", "close"} << "";
    QTest::newRow("checker blocks empty") << QStringList{"", "确认", "x", "取消"} << "";
}

// Actions alternate: text typed at the end ("" clears), then a button to click.
void tst_YFrameDialog::getText()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, result);

    QString answer;
    runModal(
        [&] {
            answer = YFrameDialog::getText(nullptr, "title", "名称", "abc", [](const QString &t) { return t.isEmpty(); },
                                           nullptr);
            return 0;
        },
        [&](QDialog *box) {
            auto *edit = box->findChild<QLineEdit *>();
            QCOMPARE(edit->text(), QString("abc"));
            for (int i = 0; i < actions.size(); i += 2) {
                QVERIFY(box->isVisible());
                if (actions.at(i).isEmpty())
                    edit->clear();
                QTest::keyClicks(edit, actions.at(i));
                click(box, actions.at(i + 1));
                QTest::qWait(50);
            }
        });
    QCOMPARE(answer, result);
}

void tst_YFrameDialog::mouse_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<Qt::CursorShape>("cursor");
    QTest::addColumn<QRect>("change");

    const int rb = YFrameDialog::ResizeRight | YFrameDialog::ResizeBottom;
    const int all = rb | YFrameDialog::ResizeLeft | YFrameDialog::ResizeTop;
    const QRect none;
    // The dialog is 344 x 239 and -1 its far edge; change is the wrapper's (dx, dy, dw, dh).
    QTest::newRow("right keeps left") << rb << QPoint(-1, 120) << QPoint(40, 0) << Qt::SizeHorCursor << QRect(0, 0, 40, 0);
    QTest::newRow("bottom keeps top") << rb << QPoint(150, -1) << QPoint(0, 30) << Qt::SizeVerCursor << QRect(0, 0, 0, 30);
    QTest::newRow("bottom right") << rb << QPoint(-1, -1) << QPoint(40, 30) << Qt::SizeFDiagCursor << QRect(0, 0, 40, 30);
    QTest::newRow("top right, top masked") << rb << QPoint(-2, 0) << QPoint(40, -30) << Qt::SizeHorCursor << QRect(0, 0, 39, 0);
    QTest::newRow("left masked") << rb << QPoint(0, 120) << QPoint(-40, 0) << Qt::ArrowCursor << none;
    QTest::newRow("top left") << all << QPoint(0, 0) << QPoint(-20, -10) << Qt::SizeFDiagCursor << QRect(-20, -10, 20, 10);
    QTest::newRow("bottom left") << all << QPoint(1, -2) << QPoint(-20, 10) << Qt::SizeBDiagCursor << QRect(-19, 0, 19, 9);
    QTest::newRow("left stops at minimum") << all << QPoint(0, 120) << QPoint(500, 0) << Qt::SizeHorCursor << QRect(253, 0, -253, 0);
    QTest::newRow("header moves") << all << QPoint(40, 15) << QPoint(60, 30) << Qt::ArrowCursor << QRect(60, 30, 0, 0);
    QTest::newRow("header within drag distance") << all << QPoint(40, 15) << QPoint(4, 5) << Qt::ArrowCursor << none;
    QTest::newRow("central does nothing") << all << QPoint(10, 120) << QPoint(80, 40) << Qt::ArrowCursor << none;
}

// Hovers at `from`, then drags by `by`; leaving into the shadow restores the arrow.
void tst_YFrameDialog::mouse()
{
    QFETCH(int, flags);
    QFETCH(QPoint, from);
    QFETCH(QPoint, by);
    QFETCH(Qt::CursorShape, cursor);
    QFETCH(QRect, change);

    YFrameDialog dialog;
    prepare(dialog, YFrameDialog::Ok);
    dialog.setResizeFlags(YFrameDialog::ResizeFlags(flags));
    run(dialog, [&](QDialog *box) {
        Pointer pointer{box, &dialog};
        const QRect start = box->geometry();
        pointer.move(QPoint(from.x() < 0 ? 344 + from.x() : from.x(), from.y() < 0 ? 239 + from.y() : from.y()));
        QCOMPARE(pointer.cursor(), cursor);
        pointer.press();
        pointer.moveTo(pointer.global + by);
        pointer.release();
        QTest::qWait(20);
        QTRY_COMPARE(box->geometry(), QRect(start.topLeft() + change.topLeft(), start.size() + change.size()));
        QVERIFY(pointer.settled());
        pointer.move(QPoint(-6, 120));
        QCOMPARE(pointer.cursor(), Qt::ArrowCursor);
        click(box, "close");
    });
}

void tst_YFrameDialog::maximiseAndDragRestore()
{
    YFrameDialog dialog;
    prepare(dialog, YFrameDialog::Ok);
    dialog.setMaxEnable();
    auto *max = dialog.findChild<QAbstractButton *>("max");
    run(dialog, [&](QDialog *box) {
        Pointer pointer{box, &dialog};
        const QRect normal = box->geometry();
        QCOMPARE(max->toolTip(), QString("最大化"));
        pointer.move(QPoint(60, 15));
        pointer.doubleClick();
        QTRY_VERIFY(box->isMaximized() && dialog.isMaximized());
        QCOMPARE(dialog.normalGeometry(), normal);
        QCOMPARE(box->layout()->contentsMargins(), QMargins());
        QCOMPARE(max->toolTip(), QString("还原"));
        QVERIFY(pointer.settled());

        // Dragging the header restores, keeping the pointer's proportional x.
        const int maximisedWidth = dialog.width();
        pointer.move(QPoint(maximisedWidth / 2, 15));
        pointer.press();
        pointer.move(QPoint(maximisedWidth / 2 + 10, 20));
        const QPoint global = pointer.global;
        QTRY_VERIFY(!box->isMaximized() && !dialog.isMaximized());
        QTRY_COMPARE(box->geometry(), normal);
        QVERIFY(pointer.settled());
        QCOMPARE(box->layout()->contentsMargins(), QMargins(shadow, shadow, shadow, shadow));
        pointer.moveTo(global + QPoint(5, 5));
        QTRY_COMPARE(box->pos(), pointer.global - QPoint(global.x() * normal.width() / maximisedWidth + shadow, 15 + shadow));
        pointer.release();
        QVERIFY(pointer.settled());

        for (bool maximised : {true, false}) {
            pointer.move(QPoint(60, 15));
            pointer.doubleClick();
            QTRY_COMPARE(box->isMaximized(), maximised);
            QVERIFY(pointer.settled());
        }
        QCOMPARE(box->geometry().size(), normal.size());
        click(box, "close");
    });
}

void tst_YFrameDialog::shadowFollowsActivation()
{
    QWidget other;
    other.setGeometry(1200, 100, 200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    YFrameDialog dialog;
    prepare(dialog, YFrameDialog::Ok);
    run(dialog, [&](QDialog *box) {
        const auto blueness = [box] {
            const QColor c = box->grab().toImage().pixelColor(box->width() / 2, shadow - 2);
            return c.blue() - c.red();
        };
        QVERIFY(blueness() < 10);
        QApplication::setActiveWindow(&other);
        QTRY_VERIFY(!box->isActiveWindow());
        QApplication::setActiveWindow(box);
        QTRY_VERIFY(box->isActiveWindow());
        QVERIFY2(blueness() > 20, "active wrapper uses the selected shadow");
        click(box, "close");
    });
}

QTEST_MAIN(tst_YFrameDialog)
#include "tst_yframedialog.moc"
