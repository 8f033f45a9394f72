#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QtTest>

#include <functional>

// Runs a modal dialog and works on its wrapper from inside the modal loop
// once the wrapper is active. A watchdog ends a stuck run with -1.
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

inline void click(QWidget *root, const QString &caption)
{
    QAbstractButton *button = findButton(root, caption);
    QVERIFY2(button, qPrintable(caption));
    QTest::mouseClick(button, Qt::LeftButton);
}
