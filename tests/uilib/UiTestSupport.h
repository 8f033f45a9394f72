#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QWindow>
#include <QtTest>

// Runs a modal dialog and works on its active wrapper from inside the loop; a watchdog ends a stuck run with -1.
inline int runModal(const std::function<int()> &exec, const std::function<void(QDialog *)> &interact)
{
    QTimer::singleShot(0, [interact] {
        QDialog *box = nullptr;
        QVERIFY(QTest::qWaitFor([&box] { return (box = qobject_cast<QDialog *>(QApplication::activeModalWidget())); }));
        QVERIFY(QTest::qWaitForWindowExposed(box));
        box->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(box));
        interact(box);
    });
    QObject watchdog;
    QTimer::singleShot(15000, &watchdog, [] {
        if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            box->done(-1);
    });
    return exec();
}

// The title bar's close button for "close", else the visible button with that caption.
inline QAbstractButton *findButton(QWidget *root, const QString &caption)
{
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (caption == "close" ? button->objectName() == "close" : button->text() == caption && button->isVisible())
            return button;
    }
    return nullptr;
}

// Clicks the buttons named by the space-separated captions while the window stays open.
inline void click(QWidget *root, const QString &captions)
{
    for (const QString &caption : captions.split(' ')) {
        QVERIFY2(root->isVisible(), qPrintable(caption));
        QTest::mouseClick(findButton(root, caption), Qt::LeftButton);
        QTest::qWait(20);
    }
}

// Pointer input through the window system; the pointer keeps its global position while the window moves.
struct Pointer
{
    QWidget *window;
    QPoint global;

    QPoint local() const { return window->mapFromGlobal(global); }
    void moveTo(QPoint to) { QTest::mouseMove(window->windowHandle(), window->mapFromGlobal(global = to)); }
    void press() { QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, local()); }
    void release() { QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, local()); }
    void doubleClick() { QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, local()); }
    // Input sent before the window system confirms a new geometry lands at the old place.
    bool settled() const
    {
        return QTest::qWaitFor([this] { return window->windowHandle()->geometry() == window->geometry(); });
    }
};
