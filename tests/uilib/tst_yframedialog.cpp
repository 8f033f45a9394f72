#include "UiLibSetup.h"
#include "UiTestSupport.h"
#include "YFrameDialog.h"
#include "YTipDlg.h"

#include <QFontInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

using D = YFrameDialog;
using Buttons = D::StandardButtons;
Q_DECLARE_METATYPE(Buttons)
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

class tst_YFrameDialog : public QObject
{
    Q_OBJECT

private slots:
    void result_data()
    {
        QTest::addColumn<Buttons>("buttons");
        QTest::addColumn<QString>("click");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("noShadow");
        QTest::addColumn<int>("mask");
        const auto row = [](const char *name, Buttons buttons, const char *click, const char *shown, int result,
                            bool noShadow = false, int mask = -1) {
            QTest::newRow(name) << buttons << QString(click) << QString(shown) << result << noShadow << mask;
        };
        row("Ok closed", D::Ok, "close", "确认:140+60x26", 0x400);
        row("Ok closed without shadow", D::Ok, "close", "确认:140+60x26", 0x400, true);
        row("Ok Cancel closed", D::Ok | D::Cancel, "close", "确认:98+60x26 取消:182+60x26", D::Cancel);
        row("Yes No closed", D::Yes | D::No, "close", "是:110+48x26 否:182+48x26", D::No);
        row("one left by mask", D::Yes | D::No | D::Retry, "close", "重试:140+60x26", D::Retry, false, D::Retry);
        row("none left by mask 0", D::Ok | D::Cancel, "close", "", D::Cancel, false, 0);
        row("no buttons closed", {}, "close", "", 0);
        row("by role, then value", D::Cancel | D::Save | D::Apply | D::Ok, "确认",
            "应用:14+60x26 确认:98+60x26 保存:182+60x26 取消:266+60x26", D::Ok);
    }

    // `row` gives the visible buttons left to right as caption:x+size: 24 apart, centred.
    void result()
    {
        QFETCH(Buttons, buttons);
        QFETCH(QString, click);
        QFETCH(QString, row);
        QFETCH(int, result);
        QFETCH(bool, noShadow);
        QFETCH(int, mask);
        YFrameDialog dialog;
        prepare(dialog, buttons);
        if (mask >= 0)
            dialog.updateButtonMask(Buttons(mask));
        const int s = noShadow ? 0 : shadow;
        const QSize size = dialog.size();
        const int code = run(dialog, [&](QDialog *box) {
            QCOMPARE(box->size(), size + QSize(2 * s, 2 * s));
            QCOMPARE(dialog.geometry(), QRect(QPoint(s, s), size));
            QCOMPARE(box->testAttribute(Qt::WA_TranslucentBackground), !noShadow);
            QWidget *group = dialog.findChild<QWidget *>("buttonGroup");
            QMap<int, QString> shown;
            for (QAbstractButton *b : group->findChildren<QAbstractButton *>()) {
                if (!b->isVisible())
                    continue;
                shown[b->x()] = QString("%1:%2+%3x%4").arg(b->text()).arg(b->x()).arg(b->width()).arg(b->height());
                QCOMPARE(b->y(), (group->height() - 15 - 26) / 2);
            }
            QCOMPARE(QStringList(shown.values()).join(' '), row);
            if (click != "close")
                QCOMPARE(D::standardButton(findButton(box, click)), D::StandardButton(result));
            ::click(box, click);
        }, noShadow);
        QCOMPARE(code, result);
        QVERIFY(!dialog.parentWidget());
    }

    // The guardian swallows the first click; the dialog returns to its owner and runs again.
    void guardianAndReuse()
    {
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        auto *dialog = new YFrameDialog(&owner);
        prepare(*dialog, D::Ok | D::Cancel);
        QList<int> guarded;
        dialog->setStandardGuardian([&guarded](D::StandardButton b) { return (guarded << b).size() == 1; });
        for (int result : {D::Cancel, D::Ok}) {
            const int code = runModal([&] { return dialog->exec(); }, [&](QDialog *box) {
                QCOMPARE(box->parentWidget(), &owner);
                click(box, guarded.isEmpty() ? "确认 取消" : "确认");
            });
            QCOMPARE(code, result);
            QCOMPARE(dialog->parentWidget(), &owner);
            QVERIFY(!dialog->isVisible() && owner.findChildren<QDialog *>().isEmpty());
        }
        QCOMPARE(guarded, (QList<int>{D::Ok, D::Cancel, D::Ok}));
    }

    void defaultButton_data()
    {
        QTest::addColumn<Buttons>("buttons");
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("lowestRole");
        QTest::addColumn<QString>("result");
        QTest::newRow("NoButton: first listed") << Buttons(D::Ok | D::Cancel) << int(D::NoButton) << "" << "确认";
        QTest::newRow("NoButton: lowest ROLE") << Buttons(D::Ok | D::Cancel) << int(D::NoButton) << "取消" << "取消";
        QTest::newRow("NoButton, none listed") << Buttons() << int(D::NoButton) << "" << "";
        QTest::newRow("Cancel") << Buttons(D::Ok | D::Cancel) << int(D::Cancel) << "" << "取消";
    }

    // The default button is painted in the default blue; NoButton has no button of its own.
    void defaultButton()
    {
        QFETCH(Buttons, buttons);
        QFETCH(int, which);
        QFETCH(QString, lowestRole);
        QFETCH(QString, result);
        YFrameDialog dialog;
        QVERIFY(!dialog.button(D::NoButton));
        const QList<QAbstractButton *> listed = dialog.addButtons(buttons);
        for (QAbstractButton *b : listed)
            b->setProperty("ROLE", b->text() == lowestRole ? -1 : 0);
        dialog.setDefaultButton(D::StandardButton(which));
        QStringList painted;
        for (QAbstractButton *b : listed) {
            if (qobject_cast<QPushButton *>(b)->isDefault() && b->grab().toImage().pixelColor(5, 5) == QColor("#2687fe"))
                painted << b->text();
        }
        QCOMPARE(painted.join(' '), result);
        QVERIFY(!dialog.button(D::NoButton));
        QCOMPARE(dialog.findChildren<QAbstractButton *>().size(), listed.size() + 3);
    }

    // The text and question helpers: what they show, and what each way out returns.
    void helpers_data()
    {
        QTest::addColumn<QString>("click");
        QTest::addColumn<QString>("result");
        QTest::newRow("text: ok") << "确认" << "abcdef";
        QTest::newRow("text: cancel") << "取消" << "";
        QTest::newRow("text: closed") << "close" << "";
        QTest::newRow("question: closed") << "close" << QString::number(D::No);
        QTest::newRow("question: yes") << "是" << QString::number(D::Yes);
    }

    void helpers()
    {
        QFETCH(QString, click);
        QFETCH(QString, result);
        const bool question = QByteArray(QTest::currentDataTag()).startsWith("question");
        QString answer;
        runModal([&] {
            answer = question ? QString::number(int(YTipDlg::question(nullptr, "提示", "是否继续？")))
                              : D::getText(nullptr, "title", "名称", "abc", {}, nullptr);
            return 0;
        }, [&](QDialog *box) {
            if (question) {
                QCOMPARE(box->findChild<YTipDlg *>()->icon(), YTipDlg::Question);
                QCOMPARE(box->findChild<QLabel *>("textLabel")->text(), QString("是否继续？"));
            } else {
                QCOMPARE(box->findChild<QLineEdit *>()->text(), QString("abc"));
                QTest::keyClicks(box->findChild<QLineEdit *>(), "def");
            }
            ::click(box, click);
        });
        QCOMPARE(answer, result);
    }

    void mouse_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<Qt::CursorShape>("cursor");
        QTest::addColumn<QRect>("change");
        QTest::addColumn<bool>("wrapped");
        const auto row = [](const char *name, int flags, QPoint from, QPoint by, Qt::CursorShape cursor, QRect change,
                            bool wrapped = true) {
            QTest::newRow(name) << flags << from << by << cursor << change << wrapped;
        };
        const int rb = D::ResizeRight | D::ResizeBottom, all = rb | D::ResizeLeft | D::ResizeTop;
        // -1 is the far edge; `change` is the wrapper's (dx, dy, dw, dh).
        row("right keeps left", rb, {-1, 120}, {40, 0}, Qt::SizeHorCursor, {0, 0, 40, 0});
        row("bottom keeps top", rb, {150, -1}, {0, 30}, Qt::SizeVerCursor, {0, 0, 0, 30});
        row("top right, top masked", rb, {-2, 0}, {40, -30}, Qt::SizeHorCursor, {0, 0, 39, 0});
        row("left masked", rb, {0, 120}, {-40, 0}, Qt::ArrowCursor, {});
        row("top left", all, {0, 0}, {-20, -10}, Qt::SizeFDiagCursor, {-20, -10, 20, 10});
        row("bottom left", all, {1, -2}, {-20, 10}, Qt::SizeBDiagCursor, {-19, 0, 19, 9});
        row("left stops at minimum", all, {0, 120}, {500, 0}, Qt::SizeHorCursor, {253, 0, -253, 0});
        row("header moves", all, {40, 15}, {60, 30}, Qt::ArrowCursor, {60, 30, 0, 0});
        row("header within drag distance", all, {40, 15}, {4, 5}, Qt::ArrowCursor, {});
        row("central does nothing", all, {10, 120}, {80, 40}, Qt::ArrowCursor, {});
        row("shown: right keeps left", rb, {-1, 120}, {40, 0}, Qt::SizeHorCursor, {0, 0, 40, 0}, false);
        row("shown: bottom left", all, {1, -2}, {-20, 10}, Qt::SizeBDiagCursor, {-19, 0, 19, 9}, false);
        row("shown: header moves", all, {40, 15}, {60, 30}, Qt::ArrowCursor, {60, 30, 0, 0}, false);
    }

    // Hovers at `from`, drags by `by`, leaves into the shadow for the arrow; a shown dialog has no wrapper.
    void mouse()
    {
        QFETCH(int, flags);
        QFETCH(QPoint, from);
        QFETCH(QPoint, by);
        QFETCH(Qt::CursorShape, cursor);
        QFETCH(QRect, change);
        QFETCH(bool, wrapped);
        YFrameDialog dialog;
        prepare(dialog, D::Ok);
        dialog.setResizeFlags(D::ResizeFlags(flags));
        const auto drag = [&](QWidget *box) {
            Pointer pointer{box, {}};
            const QRect start = box->geometry();
            pointer.moveTo(dialog.mapToGlobal(QPoint((from.x() + 344) % 344, (from.y() + 239) % 239)));
            QCOMPARE(dialog.cursor().shape(), cursor);
            pointer.press();
            pointer.moveTo(pointer.global + by);
            pointer.release();
            QTest::qWait(20);
            QTRY_COMPARE(box->geometry(), QRect(start.topLeft() + change.topLeft(), start.size() + change.size()));
            QVERIFY(pointer.settled());
            if (box != &dialog) {
                pointer.moveTo(dialog.mapToGlobal(QPoint(-6, 120)));
                QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
            }
            click(box, "close");
        };
        if (wrapped) {
            run(dialog, drag);
            return;
        }
        dialog.move(300, 200);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        drag(&dialog);
        QTRY_VERIFY(!dialog.isVisible());
    }

    // The shadow turns to the selected one when the wrapper is activated again; maximising drops
    // it, and a header drag restores the wrapper with the pointer at the same proportional x.
    void shadowAndMaximise()
    {
        QWidget other;
        other.setGeometry(1200, 100, 200, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        YFrameDialog dialog;
        prepare(dialog, D::Ok);
        dialog.setMaxEnable();
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
            QVERIFY(blueness() > 20);
            Pointer pointer{box, {}};
            const QRect normal = box->geometry();
            const auto toggle = [&](bool maximised) {
                pointer.moveTo(dialog.mapToGlobal(QPoint(60, 15)));
                pointer.doubleClick();
                QTRY_VERIFY(box->isMaximized() == maximised && dialog.isMaximized() == maximised);
                QVERIFY(pointer.settled());
                QCOMPARE(box->layout()->contentsMargins().left(), maximised ? 0 : shadow);
            };
            toggle(true);
            QCOMPARE(dialog.normalGeometry(), normal);
            const int wide = dialog.width();
            pointer.moveTo(dialog.mapToGlobal(QPoint(wide / 2, 15)));
            pointer.press();
            pointer.moveTo(dialog.mapToGlobal(QPoint(wide / 2 + 10, 20)));
            const QPoint global = pointer.global;
            QTRY_VERIFY(!box->isMaximized() && !dialog.isMaximized());
            QTRY_COMPARE(box->geometry(), normal);
            QVERIFY(pointer.settled());
            pointer.moveTo(global + QPoint(5, 5));
            QTRY_COMPARE(box->pos(), pointer.global - QPoint(global.x() * normal.width() / wide + shadow, 15 + shadow));
            pointer.release();
            QVERIFY(pointer.settled());
            toggle(true);
            toggle(false);
            QCOMPARE(box->geometry().size(), normal.size());
            click(box, "close");
        });
    }

    // Every image at its size, the style sheet, and the dialogs' font as its first installed substitute.
    void theme()
    {
        YUILIB::initialise();
        const QList<QPair<QStringList, QSize>> groups = {
            {{"btn_close", "btn_zuidahua", "btn_huanyuan"}, {96, 24}},
            {{"btn_houtui", "btn_qianjin", "btn_shuaxin2", "btn_cachu"}, {80, 20}},
            {{"btn_check", "btn_notcheck", "settingPanel/Resources/settingPanel/btn_check",
              "public/Resources/public/btn_selradio"}, {64, 16}},
            {{"icon_xunwen", "icon_info", "icon_jinggao", "icon_cuowu"}, {36, 36}},
            {{"icon_tanyuanjiao", "icon_tanyuanjiao2", "icon_tanzhi", "icon_tanyuanjiao3", "icon_seltanyuanjiao",
              "icon_seltanyuanjiao2", "icon_seltanzhi", "icon_seltanyuanjiao3"}, {18, 18}}};
        for (const auto &[names, size] : groups) {
            for (const QString &name : names) {
                const QString file = name.contains("btn_") ? name + "_dis_nor_hot_pre.png" : name + ".png";
                const QString path = name.contains('/') ? ":/" + file : ":/YBrowserRunner/Resources/" + file;
                QVERIFY2(QImage(path).size() == size, qPrintable(path));
            }
        }
        QFile qss(":/YBrowserRunner/Resources/CorvaneDialog.qss");
        QVERIFY(qss.open(QIODevice::ReadOnly) && qss.readAll().contains("#centralFrame"));
        QString installed;
        for (const QString &family : QFont::substitutes("微软雅黑")) {
            if (installed.isEmpty() && QFontInfo(QFont(family)).exactMatch())
                installed = QFontInfo(QFont(family)).family();
        }
        QVERIFY(!installed.isEmpty());
        QCOMPARE(QFontInfo(QFont("微软雅黑")).family(), installed);
    }

    void tipSizing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("size");
        QFont font("微软雅黑");
        font.setPixelSize(12);
        const QFontMetrics metrics(font);
        const int line = metrics.height() + 8;
        const QString wide = "这是一段很长的提示文字，用来检查宽度是否按最长的一行计算。";
        QTest::newRow("empty") << QString() << QSize(242, 135);
        QTest::newRow("wide line") << wide << QSize(metrics.horizontalAdvance(wide) + 92, qMax(38, line) + 97);
        QTest::newRow("three lines") << "a\nb\nc" << QSize(242, 3 * line + 97);
    }

    void tipSizing()
    {
        QFETCH(QString, text);
        QFETCH(QSize, size);
        YTipDlg dialog;
        dialog.setText(text);
        QCOMPARE(dialog.size(), size);
    }
};

QTEST_MAIN(tst_YFrameDialog)
#include "tst_yframedialog.moc"
