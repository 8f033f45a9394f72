#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest>

#include <functional>

// Runs a modal dialog and interacts with its wrapper from inside the modal
// loop once the wrapper is on screen. A watchdog ends a stuck run with -1.
inline int runModal(const std::function<int()> &exec, const std::function<void(QDialog *)> &interact)
{
    QTimer::singleShot(0, [interact] {
        QDialog *box = nullptr;
        const bool shown = QTest::qWaitFor([&box] {
            box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            return box != nullptr;
        });
        QVERIFY(shown);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        box->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(box));
        interact(box);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            box->done(-1);
    });
    watchdog.start(15000);
    return exec();
}

inline QAbstractButton *buttonWithText(QWidget *root, const QString &text)
{
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->text() == text && button->isVisible())
            return button;
    }
    return nullptr;
}
