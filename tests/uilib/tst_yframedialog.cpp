#include "ModalRunner.h"
#include "YFrameDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

namespace {

using Buttons = YFrameDialog::StandardButtons;
const int shadow = 18;

QWidget *content(QSize size = QSize(300, 100))
{
    auto *widget = new QLabel("content");
    widget->resize(size);
    return widget;
}

void clickClose(QDialog *box)
{
    QTest::mouseClick(box->findChild<QAbstractButton *>("close"), Qt::LeftButton);
}

void prepare(YFrameDialog &dialog, YFrameDialog::StandardButtons buttons, QSize size = QSize(300, 100))
{
    dialog.addButtons(buttons);
    dialog.setCentralWidget(content(size), true);
}

int run(YFrameDialog &dialog, const std::function<void(QDialog *)> &interact, bool noShadow = false)
{
    return runModal([&] { return dialog.exec(nullptr, noShadow); }, interact);
}

// Pointer input through the window system interface, in the frame
// dialog's coordinates at the moment of sending.
struct Pointer
{
    QDialog *box;
    YFrameDialog *dialog;

    QPoint at(QPoint pos) const { return dialog->mapTo(box, pos); }
    void move(QPoint pos) { QTest::mouseMove(box->windowHandle(), at(pos)); }
    void press(QPoint pos) { QTest::mousePress(box->windowHandle(), Qt::LeftButton, {}, at(pos)); }
    void release(QPoint pos) { QTest::mouseRelease(box->windowHandle(), Qt::LeftButton, {}, at(pos)); }
    int cursor() const { return dialog->cursor().shape(); }
    // Released at `end` in the dialog's coordinates after the move; by
    // default where it was pressed, as the grab point travels with the dialog.
    void drag(QPoint from, QPoint to, QPoint end)
    {
        move(from);
        press(from);
        move(to);
        release(end);
    }
    void drag(QPoint from, QPoint to) { drag(from, to, from); }

    // The window system confirms a new geometry later than the widget
    // takes it; input sent before would land at the old place.
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
    void execAgainAfterLeavingWrapper();
    void guardianSwallowsClick();
    void shownWithoutWrapper();
    void buttonRowOrderAndCentring();
    void defaultButtonAndMask();
    void getText_data();
    void getText();
    void cursorZones_data();
    void cursorZones();
    void resizeAndMove();
    void maximiseAndDragRestore();
    void shadowFollowsActivation();
};

void tst_YFrameDialog::result_data()
{
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<int>("mask");
    QTest::addColumn<bool>("noShadow");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("result");

    const Buttons okCancel = YFrameDialog::Ok | YFrameDialog::Cancel, yesNo = YFrameDialog::Yes | YFrameDialog::No;
    for (bool noShadow : {false, true}) {
        const QByteArray tag = noShadow ? " without shadow" : "";
        QTest::newRow("Ok closed" + tag) << Buttons(YFrameDialog::Ok) << -1 << noShadow << "close" << QSize() << 0x400;
        QTest::newRow("Ok Cancel closed" + tag) << okCancel << -1 << noShadow << "close" << QSize()
                                                << int(YFrameDialog::Cancel);
        QTest::newRow("Yes No closed" + tag) << yesNo << -1 << noShadow << "close" << QSize() << int(YFrameDialog::No);
    }
    QTest::newRow("one visible after mask") << (yesNo | YFrameDialog::Retry) << int(YFrameDialog::Retry) << false
                                            << "close" << QSize() << int(YFrameDialog::Retry);
    QTest::newRow("no buttons closed") << Buttons() << -1 << false << "close" << QSize() << 0;
    QTest::newRow("Ok clicked") << okCancel << -1 << false << QString::fromUtf8("确认") << QSize(60, 26) << 0x400;
    QTest::newRow("Cancel clicked") << okCancel << -1 << false << QString::fromUtf8("取消") << QSize(60, 26)
                                    << int(YFrameDialog::Cancel);
    QTest::newRow("Yes clicked") << yesNo << -1 << false << QString::fromUtf8("是") << QSize(48, 26)
                                 << int(YFrameDialog::Yes);
    QTest::newRow("Discard clicked") << (YFrameDialog::Save | YFrameDialog::Discard | YFrameDialog::Cancel) << -1
                                     << false << QString::fromUtf8("放弃") << QSize(60, 26)
                                     << int(YFrameDialog::Discard);
    QTest::newRow("Save all clicked") << (YFrameDialog::SaveAll | YFrameDialog::NoToAll) << -1 << false
                                      << QString::fromUtf8("全部保存") << QSize(60, 26)
                                      << int(YFrameDialog::SaveAll);
}

void tst_YFrameDialog::result()
{
    QFETCH(Buttons, buttons);
    QFETCH(int, mask);
    QFETCH(bool, noShadow);
    QFETCH(QString, click);
    QFETCH(QSize, size);
    QFETCH(int, result);

    YFrameDialog dialog;
    prepare(dialog, buttons);
    if (mask >= 0)
        dialog.updateButtonMask(Buttons(mask));
    const QSize dialogSize = dialog.size();
    const int s = noShadow ? 0 : shadow;

    const int code = run(dialog, [&](QDialog *box) {
        QCOMPARE(box->layout()->contentsMargins(), QMargins(s, s, s, s));
        QCOMPARE(box->size(), dialogSize + QSize(2 * s, 2 * s));
        QCOMPARE(dialog.geometry(), QRect(QPoint(s, s), dialogSize));
        QCOMPARE(box->testAttribute(Qt::WA_TranslucentBackground), !noShadow);
        QVERIFY(box->windowFlags() & Qt::FramelessWindowHint);
        if (click == "close")
            return clickClose(box);
        QAbstractButton *button = buttonWithText(box, click);
        QVERIFY(button);
        QCOMPARE(button->size(), size);
        QCOMPARE(YFrameDialog::standardButton(button), YFrameDialog::StandardButton(result));
        QTest::mouseClick(button, Qt::LeftButton);
    }, noShadow);
    QCOMPARE(code, result);
    QVERIFY(!dialog.parentWidget());
}

void tst_YFrameDialog::execAgainAfterLeavingWrapper()
{
    QWidget owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    auto *dialog = new YFrameDialog(&owner);
    dialog->addButtons(YFrameDialog::Ok | YFrameDialog::Cancel);
    dialog->setCentralWidget(content(), true);
    const QList<QPair<const char *, int>> runs = {{"确认", YFrameDialog::Ok}, {"取消", YFrameDialog::Cancel}};
    for (const auto &[caption, result] : runs) {
        const int code = runModal([&] { return dialog->exec(); }, [&](QDialog *box) {
            QCOMPARE(box->parentWidget(), &owner);
            QTest::mouseClick(buttonWithText(box, QString::fromUtf8(caption)), Qt::LeftButton);
        });
        QCOMPARE(code, result);
        QCOMPARE(dialog->parentWidget(), &owner);
        QVERIFY(!dialog->isVisible());
        QVERIFY(owner.findChildren<QDialog *>().isEmpty());
    }
}

void tst_YFrameDialog::guardianSwallowsClick()
{
    YFrameDialog dialog;
    prepare(dialog, YFrameDialog::Ok | YFrameDialog::Cancel);
    QList<int> guarded;
    dialog.setStandardGuardian([&guarded](YFrameDialog::StandardButton b) {
        guarded << b;
        return b == YFrameDialog::Ok;
    });
    const int code = run(dialog, [&](QDialog *box) {
        QTest::mouseClick(dialog.button(YFrameDialog::Ok), Qt::LeftButton);
        QTest::qWait(50);
        QVERIFY(box->isVisible());
        QTest::mouseClick(dialog.button(YFrameDialog::Cancel), Qt::LeftButton);
    });
    QCOMPARE(code, int(YFrameDialog::Cancel));
    QCOMPARE(guarded, (QList<int>{YFrameDialog::Ok, YFrameDialog::Cancel}));
}

void tst_YFrameDialog::shownWithoutWrapper()
{
    YFrameDialog dialog;
    prepare(dialog, YFrameDialog::Ok | YFrameDialog::Cancel);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(dialog.isWindow());
    QVERIFY(dialog.button(YFrameDialog::Ok)->isVisible());

    dialog.done(YFrameDialog::Ok);
    dialog.accept();
    dialog.reject();
    QVERIFY(dialog.isVisible());
    QTest::mouseClick(dialog.button(YFrameDialog::Ok), Qt::LeftButton);
    QTRY_VERIFY(!dialog.isVisible());
}

void tst_YFrameDialog::buttonRowOrderAndCentring()
{
    YFrameDialog dialog;
    prepare(dialog, YFrameDialog::Cancel | YFrameDialog::Save | YFrameDialog::Apply | YFrameDialog::Ok, QSize(400, 100));
    QList<QAbstractButton *> expected = {dialog.button(YFrameDialog::Apply), dialog.button(YFrameDialog::Ok),
                                         dialog.button(YFrameDialog::Save), dialog.button(YFrameDialog::Cancel)};
    run(dialog, [&](QDialog *box) {
        QWidget *row = dialog.findChild<QWidget *>("buttonGroup");
        for (int i = 1; i < expected.size(); ++i)
            QCOMPARE(expected.at(i)->x() - expected.at(i - 1)->geometry().right() - 1, 24);
        const int left = expected.first()->x();
        const int right = row->width() - expected.last()->geometry().right() - 1;
        QVERIFY2(qAbs(left - right) <= 1, qPrintable(QString("%1 vs %2").arg(left).arg(right)));
        QCOMPARE(expected.first()->y(), (row->height() - 15 - 26) / 2);
        clickClose(box);
    });
}

void tst_YFrameDialog::defaultButtonAndMask()
{
    YFrameDialog dialog;
    QCOMPARE(dialog.button(YFrameDialog::NoButton), nullptr);
    dialog.addButtons(YFrameDialog::Ok | YFrameDialog::Cancel);
    QAbstractButton *ok = dialog.button(YFrameDialog::Ok), *cancel = dialog.button(YFrameDialog::Cancel);
    dialog.setDefaultButton(YFrameDialog::NoButton);
    QVERIFY(qobject_cast<QPushButton *>(ok)->isDefault());
    ok->setProperty("ROLE", 2);
    cancel->setProperty("ROLE", 1);
    dialog.setDefaultButton(YFrameDialog::NoButton);
    QVERIFY(qobject_cast<QPushButton *>(cancel)->isDefault());
    QCOMPARE(YFrameDialog::buttonRole(cancel), YFrameDialog::RejectRole);

    auto *custom = new QPushButton("custom", &dialog);
    dialog.addButton(custom, YFrameDialog::DestructiveRole);
    QCOMPARE(custom->property("_standard_button_").toInt(), 0);
    QCOMPARE(custom->property("_button_role_").toInt(), 4);
    const auto visible = [&] {
        return QList<bool>{ok->isVisibleTo(&dialog), cancel->isVisibleTo(&dialog), custom->isVisibleTo(&dialog)};
    };
    dialog.updateButtonMask(Buttons());
    QCOMPARE(visible(), (QList<bool>{false, false, false}));
    dialog.updateButtonMask(YFrameDialog::Cancel | YFrameDialog::Help);
    QCOMPARE(visible(), (QList<bool>{false, true, false}));
}

void tst_YFrameDialog::getText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("result");

    QTest::newRow("ok") << "def" << QString::fromUtf8("确认") << "abcdef";
    QTest::newRow("cancel") << "def" << QString::fromUtf8("取消") << "";
    QTest::newRow("close") << "def" << "close" << "";
    QTest::newRow("checker blocks empty") << "" << "clear" << "";
}

void tst_YFrameDialog::getText()
{
    QFETCH(QString, typed);
    QFETCH(QString, action);
    QFETCH(QString, result);

    QString answer;
    runModal(
        [&] {
            answer = YFrameDialog::getText(nullptr, "title", QString::fromUtf8("名称"), "abc",
                                           [](const QString &text) { return text.isEmpty(); }, nullptr);
            return 0;
        },
        [&](QDialog *box) {
            auto *edit = box->findChild<QLineEdit *>();
            QVERIFY(edit);
            QCOMPARE(edit->text(), QString("abc"));
            QTest::keyClicks(edit, typed);
            if (action == "close") {
                clickClose(box);
            } else if (action == "clear") {
                edit->clear();
                QTest::mouseClick(buttonWithText(box, QString::fromUtf8("确认")), Qt::LeftButton);
                QTest::qWait(50);
                QVERIFY(box->isVisible());
                QTest::keyClicks(edit, "x");
                QTest::mouseClick(buttonWithText(box, QString::fromUtf8("取消")), Qt::LeftButton);
            } else {
                QTest::mouseClick(buttonWithText(box, action), Qt::LeftButton);
            }
        });
    QCOMPARE(answer, result);
}

void tst_YFrameDialog::cursorZones_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("cursor");

    const int standard = YFrameDialog::ResizeRight | YFrameDialog::ResizeBottom;
    const int all = standard | YFrameDialog::ResizeLeft | YFrameDialog::ResizeTop;
    // Dialog of 344 x 239 (300 x 100 content); -1 stands for the far edge.
    QTest::newRow("left masked") << standard << QPoint(0, 120) << int(Qt::ArrowCursor);
    QTest::newRow("top masked") << standard << QPoint(150, 1) << int(Qt::ArrowCursor);
    QTest::newRow("right") << standard << QPoint(-1, 120) << int(Qt::SizeHorCursor);
    QTest::newRow("bottom") << standard << QPoint(150, -1) << int(Qt::SizeVerCursor);
    QTest::newRow("bottom right") << standard << QPoint(-1, -1) << int(Qt::SizeFDiagCursor);
    QTest::newRow("top right, top masked") << standard << QPoint(-2, 0) << int(Qt::SizeHorCursor);
    QTest::newRow("left allowed") << all << QPoint(1, 120) << int(Qt::SizeHorCursor);
    QTest::newRow("top left") << all << QPoint(0, 0) << int(Qt::SizeFDiagCursor);
    QTest::newRow("bottom left") << all << QPoint(1, -2) << int(Qt::SizeBDiagCursor);
    QTest::newRow("header") << all << QPoint(150, 15) << int(Qt::ArrowCursor);
    QTest::newRow("central") << all << QPoint(150, 120) << int(Qt::ArrowCursor);
}

void tst_YFrameDialog::cursorZones()
{
    QFETCH(int, flags);
    QFETCH(QPoint, pos);
    QFETCH(int, cursor);

    YFrameDialog dialog;
    prepare(dialog, YFrameDialog::Ok);
    dialog.setResizeFlags(YFrameDialog::ResizeFlags(flags));
    QCOMPARE(dialog.size(), QSize(344, 239));
    run(dialog, [&](QDialog *box) {
        Pointer pointer{box, &dialog};
        const QPoint target(pos.x() < 0 ? dialog.width() + pos.x() : pos.x(),
                            pos.y() < 0 ? dialog.height() + pos.y() : pos.y());
        pointer.move(QPoint(150, 120));
        QCOMPARE(pointer.cursor(), int(Qt::ArrowCursor));
        pointer.move(target);
        QCOMPARE(pointer.cursor(), cursor);
        // Leaving the dialog into the shadow margin restores the arrow.
        pointer.move(QPoint(-6, 120));
        QCOMPARE(pointer.cursor(), int(Qt::ArrowCursor));
        clickClose(box);
    });
}

void tst_YFrameDialog::resizeAndMove()
{
    YFrameDialog dialog;
    prepare(dialog, YFrameDialog::Ok);
    dialog.setResizeFlags(YFrameDialog::ResizeLeft | YFrameDialog::ResizeRight | YFrameDialog::ResizeBottom);
    run(dialog, [&](QDialog *box) {
        Pointer pointer{box, &dialog};
        const QRect start = box->geometry();

        // Right border: the left edge stays.
        pointer.drag(QPoint(dialog.width() - 1, 120), QPoint(dialog.width() + 39, 120), QPoint(dialog.width() + 39, 120));
        QTRY_COMPARE(box->geometry(), QRect(start.topLeft(), start.size() + QSize(40, 0)));
        QVERIFY(pointer.settled());

        // Left border: never narrower than the minimum.
        const QRect wide = box->geometry();
        pointer.drag(QPoint(0, 120), QPoint(dialog.width() + 100, 120));
        QTRY_COMPARE(box->geometry().right(), wide.right());
        QCOMPARE(box->width(), box->minimumWidth() + 1);
        QVERIFY(pointer.settled());

        // Header drag moves the wrapper by the pointer's travel.
        const QRect moved = box->geometry().translated(60, 30);
        pointer.drag(QPoint(40, 15), QPoint(100, 45));
        QTRY_COMPARE(box->geometry(), moved);
        QVERIFY(pointer.settled());

        // A drag starting on the central frame does nothing, nor should a
        // header press that moves within the drag distance.
        pointer.drag(QPoint(10, 120), QPoint(90, 160));
        QTest::qWait(20);
        QCOMPARE(box->geometry(), moved);
        pointer.drag(QPoint(40, 15), QPoint(44, 20));
        QTest::qWait(20);
        QCOMPARE(box->geometry(), moved);
        clickClose(box);
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
        QCOMPARE(max->toolTip(), QString::fromUtf8("最大化"));

        pointer.move(QPoint(60, 15));
        QTest::mouseDClick(box->windowHandle(), Qt::LeftButton, {}, pointer.at(QPoint(60, 15)));
        QTRY_VERIFY(box->isMaximized());
        QVERIFY(dialog.isMaximized());
        QCOMPARE(dialog.normalGeometry(), normal);
        QCOMPARE(box->layout()->contentsMargins(), QMargins());
        QCOMPARE(max->toolTip(), QString::fromUtf8("还原"));
        QVERIFY(pointer.settled());

        // Dragging the header restores instead of moving, keeping the
        // pointer's proportional position for the following moves.
        const int maximisedWidth = dialog.width();
        pointer.move(QPoint(maximisedWidth / 2, 15));
        pointer.press(QPoint(maximisedWidth / 2, 15));
        const QPoint global = dialog.mapToGlobal(QPoint(maximisedWidth / 2 + 10, 20));
        QTest::mouseMove(box->windowHandle(), box->mapFromGlobal(global));
        QTRY_VERIFY(!box->isMaximized());
        QVERIFY(!dialog.isMaximized());
        QTRY_COMPARE(box->geometry(), normal);
        QVERIFY(pointer.settled());
        QCOMPARE(box->layout()->contentsMargins(), QMargins(shadow, shadow, shadow, shadow));

        const QPoint next = global + QPoint(5, 5);
        QTest::mouseMove(box->windowHandle(), box->mapFromGlobal(next));
        const int pressX = global.x() * normal.width() / maximisedWidth;
        QTRY_COMPARE(box->pos(), next - QPoint(pressX + shadow, 15 + shadow));
        QTest::mouseRelease(box->windowHandle(), Qt::LeftButton, {}, box->mapFromGlobal(next));
        QVERIFY(pointer.settled());

        // A double click on the header restores as well as it maximises.
        for (bool maximised : {true, false}) {
            pointer.move(QPoint(60, 15));
            QTest::mouseDClick(box->windowHandle(), Qt::LeftButton, {}, pointer.at(QPoint(60, 15)));
            QTRY_COMPARE(box->isMaximized(), maximised);
            QVERIFY(pointer.settled());
        }
        QCOMPARE(box->geometry().size(), normal.size());
        clickClose(box);
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
        const QPoint probe(box->width() / 2, shadow - 2);
        const auto blueness = [box, probe] {
            const QColor c = box->grab().toImage().pixelColor(probe);
            return c.blue() - c.red();
        };
        QVERIFY(blueness() < 10);

        QApplication::setActiveWindow(&other);
        QTRY_VERIFY(!box->isActiveWindow());
        QApplication::setActiveWindow(box);
        QTRY_VERIFY(box->isActiveWindow());
        QVERIFY2(blueness() > 20, "active wrapper uses the selected shadow");
        clickClose(box);
    });
}

QTEST_MAIN(tst_YFrameDialog)
#include "tst_yframedialog.moc"
