#include "MiniEngineBinder.h"
#include "YConfiger.h"

#include <QCoreApplication>
#include <QtTest>

class tst_MiniBinder : public QObject
{
    Q_OBJECT

private slots:
    void bindsWholeInterfacesOnly_data();
    void bindsWholeInterfacesOnly();
    void configuredFile_data();
    void configuredFile();
    void processBindingFollowsConfiguration();
};

namespace {

QStringList allMiniNames()
{
    QStringList names;
#define NAME_OF(result, name, parameters) names << QStringLiteral(#name);
    MINI_ENGINE_ENTRY_POINTS(NAME_OF)
    return names;
}

QStringList allVipNames()
{
    QStringList names;
    VIP_ENGINE_ENTRY_POINTS(NAME_OF)
#undef NAME_OF
    return names;
}

QStringList without(QStringList names, const QString& name)
{
    names.removeAll(name);
    return names;
}

template<typename Api>
int nullEntries(const Api& api)
{
    const auto* pointers = reinterpret_cast<const QFunctionPointer*>(&api);
    int count = 0;
    for (size_t i = 0; i < sizeof(Api) / sizeof(QFunctionPointer); ++i)
        count += pointers[i] ? 0 : 1;
    return count;
}

} // namespace

void tst_MiniBinder::bindsWholeInterfacesOnly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("bound");
    QTest::addColumn<QStringList>("missingMini");
    QTest::addColumn<QStringList>("missingVip");

    QStringList miniMissing = without(without(allMiniNames(), "ymini_create_view"), "ymini_paint");
    QTest::newRow("stand-in engine") << QStringLiteral(STANDIN_ENGINE) << true << QStringList() << QStringList();
    QTest::newRow("incomplete") << QStringLiteral(INCOMPLETE_ENGINE) << false << miniMissing
                                << without(allVipNames(), "yvip_get_title");
    QTest::newRow("no such file") << QStringLiteral("/nonexistent/libybrminiengine.so") << false << QStringList()
                                  << QStringList();
}

void tst_MiniBinder::bindsWholeInterfacesOnly()
{
    QFETCH(QString, file);
    QFETCH(bool, bound);
    QFETCH(QStringList, missingMini);
    QFETCH(QStringList, missingVip);

    MiniEngineApi mini;
    VipMiniEngineApi vip;
    const MiniEngineBinder::Result miniResult = MiniEngineBinder::bindMini(file, &mini);
    const MiniEngineBinder::Result vipResult = MiniEngineBinder::bindVip(file, &vip);

    QCOMPARE(miniResult.bound, bound);
    QCOMPARE(vipResult.bound, bound);
    QCOMPARE(miniResult.file, file);
    QCOMPARE(miniResult.missing, missingMini);
    QCOMPARE(vipResult.missing, missingVip);
    // An unbound table holds no pointer at all, a bound one every pointer.
    QCOMPARE(nullEntries(mini), bound ? 0 : int(sizeof(mini) / sizeof(QFunctionPointer)));
    QCOMPARE(nullEntries(vip), bound ? 0 : int(sizeof(vip) / sizeof(QFunctionPointer)));
    if (bound)
        QCOMPARE(MiniEngineBinder::describe(miniResult), file);
    else if (!QFile::exists(file))
        QCOMPARE(MiniEngineBinder::describe(miniResult), file + " does not exist");
    else
        QCOMPARE(MiniEngineBinder::describe(miniResult), QStringLiteral("%1 lacks %2").arg(file, missingMini.join(' ')));
}

void tst_MiniBinder::configuredFile_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("searchPath");
    QTest::addColumn<QString>("expected");

    const QString appDir = QCoreApplication::applicationDirPath();
    QTest::newRow("defaults") << QString() << QString() << appDir + "/libybrminiengine.so";
    QTest::newRow("search path") << QString() << "/opt/engine" << "/opt/engine/libybrminiengine.so";
    QTest::newRow("file and path") << "libother.so" << "/opt/engine/" << "/opt/engine/libother.so";
    QTest::newRow("file beside executable") << "libother.so" << QString() << appDir + "/libother.so";
    QTest::newRow("path in the name") << "/usr/lib/x/libother.so" << "/opt/engine" << "/usr/lib/x/libother.so";
    QTest::newRow("relative path in the name") << "sub/libother.so" << "/opt/engine" << "sub/libother.so";
}

void tst_MiniBinder::configuredFile()
{
    QFETCH(QString, library);
    QFETCH(QString, searchPath);
    QFETCH(QString, expected);

    YConfiger::instance()->setValue("MiniEngine/Library", library);
    YConfiger::instance()->setValue("MiniEngine/SearchPath", searchPath);
    QCOMPARE(MiniEngineBinder::configuredFile("MiniEngine/Library"), expected);
}

void tst_MiniBinder::processBindingFollowsConfiguration()
{
    YConfiger* config = YConfiger::instance();
    config->setValue("MiniEngine/SearchPath", QFileInfo(STANDIN_ENGINE).absolutePath());
    config->setValue("MiniEngine/Library", QFileInfo(STANDIN_ENGINE).fileName());
    config->setValue("MiniEngine/VipLibrary", QStringLiteral(INCOMPLETE_ENGINE));
    MiniEngineBinder::reset();
    QVERIFY(MiniEngineBinder::mini());
    QVERIFY(!MiniEngineBinder::vip());
    QCOMPARE(MiniEngineBinder::vipResult().missing, without(allVipNames(), "yvip_get_title"));

    config->setValue("MiniEngine/Library", QStringLiteral("libnothere.so"));
    // Bound once: the configuration is read again only after a reset.
    QVERIFY(MiniEngineBinder::mini());
    MiniEngineBinder::reset();
    QVERIFY(!MiniEngineBinder::mini());
    QCOMPARE(MiniEngineBinder::miniResult().file,
             QFileInfo(STANDIN_ENGINE).absolutePath() + "/libnothere.so");
}

QTEST_GUILESS_MAIN(tst_MiniBinder)
#include "tst_minibinder.moc"
