#include "PageSizeRule.h"

#include <QtTest>

class tst_PageSizeRule : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
};

void tst_PageSizeRule::verdict_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QSize>("size");

    const int ignored = PageSizeRule::Ignored, tooLarge = PageSizeRule::TooLarge, accepted = PageSizeRule::Accepted;
    QTest::newRow("largest") << "7680*4320" << accepted << QSize(7680, 4320);
    QTest::newRow("too wide") << "7681*100" << tooLarge << QSize(7681, 100);
    QTest::newRow("too high") << "100*4321" << tooLarge << QSize(100, 4321);
    QTest::newRow("no height") << "1920*" << ignored << QSize(1920, 0);
    QTest::newRow("no width") << "*1080" << ignored << QSize(0, 1080);
    QTest::newRow("lone star") << "*" << ignored << QSize(0, 0);
    QTest::newRow("zero width") << "0*600" << ignored << QSize(0, 600);
    QTest::newRow("no star") << "1920" << ignored << QSize();
    QTest::newRow("empty") << "" << ignored << QSize();
    QTest::newRow("two stars") << "1*2*3" << ignored << QSize();
    QTest::newRow("leading zeros") << "0800*0600" << accepted << QSize(800, 600);
    QTest::newRow("beyond int") << "99999999999*600" << ignored << QSize(0, 600);
    QTest::newRow("list entry") << "1280*720" << accepted << QSize(1280, 720);
}

void tst_PageSizeRule::verdict()
{
    QFETCH(QString, text);
    QFETCH(int, verdict);
    QFETCH(QSize, size);

    const PageSizeRule rule(text);
    QCOMPARE(int(rule.verdict()), verdict);
    QCOMPARE(rule.size(), size);
}

QTEST_APPLESS_MAIN(tst_PageSizeRule)
#include "tst_pagesizerule.moc"
