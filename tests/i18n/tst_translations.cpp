#include <QtTest>

namespace {
struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type;
};

QString sourceDir()
{
    return qEnvironmentVariable("YBR_SOURCE_DIR", YBR_DEFAULT_SOURCE_DIR);
}

QString tsPath(const QString& language)
{
    return sourceDir() + "/resources/Language/" + language + "/ybrowserrunner.ts";
}

QString qmPath(const QString& language)
{
    return qEnvironmentVariable("YBR_BUILD_DIR", YBR_DEFAULT_BUILD_DIR) + "/Language/" + language + "/ybrowserrunner.qm";
}

Message readMessage(QXmlStreamReader& xml, const QString& context)
{
    Message message{context, {}, {}, {}};
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            message.type = xml.attributes().value("type").toString();
            message.translation = xml.readElementText();
        } else {
            xml.skipCurrentElement();
        }
    }
    return message;
}

QVector<Message> readContext(QXmlStreamReader& xml)
{
    QVector<Message> messages;
    QString name;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("name"))
            name = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            messages << readMessage(xml, name);
        else
            xml.skipCurrentElement();
    }
    return messages;
}

QVector<Message> readTs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QVector<Message> messages;
    QXmlStreamReader xml(&file);
    if (xml.readNextStartElement() && xml.name() == QLatin1String("TS")) {
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("context"))
                messages << readContext(xml);
            else
                xml.skipCurrentElement();
        }
    }
    return xml.hasError() ? QVector<Message>() : messages;
}

QStringList placeholders(const QString& text)
{
    QStringList found;
    QRegularExpressionMatchIterator it = QRegularExpression("%(\\d+)").globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(0);
    found.sort();
    return found;
}

int accelerators(const QString& text)
{
    return QString(text).remove("&&").count(QRegularExpression("&\\S"));
}

QString describe(const Message& message)
{
    return message.context + " / " + message.source;
}

void addLanguageRows()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("en") << "en";
    QTest::newRow("ru") << "ru";
}

QSet<QString> keys(const QVector<Message>& messages)
{
    QSet<QString> set;
    for (const Message& message : messages)
        set << message.context + " | " + message.source + " | " + message.translation;
    return set;
}
}

class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void everyMessageFinished_data() { addLanguageRows(); }
    void everyMessageFinished();
    void markersPreserved_data() { addLanguageRows(); }
    void markersPreserved();
    void pageSizesUnchanged_data() { addLanguageRows(); }
    void pageSizesUnchanged();
    void compiledFileMatchesSource_data() { addLanguageRows(); }
    void compiledFileMatchesSource();
    void keyTexts_data();
    void keyTexts();
    void sourcesUpToDate_data() { addLanguageRows(); }
    void sourcesUpToDate();
};

void tst_Translations::everyMessageFinished()
{
    QFETCH(QString, language);
    const QVector<Message> messages = readTs(tsPath(language));
    QVERIFY2(messages.size() > 50, qPrintable(tsPath(language)));
    QStringList open;
    for (const Message& message : messages) {
        if (!message.type.isEmpty() || message.translation.trimmed().isEmpty())
            open << describe(message);
    }
    QVERIFY2(open.isEmpty(), qPrintable(open.join('\n')));
}

void tst_Translations::markersPreserved()
{
    QFETCH(QString, language);
    QStringList wrong;
    for (const Message& message : readTs(tsPath(language))) {
        const QString& target = message.translation;
        if (placeholders(message.source) != placeholders(target)
            || accelerators(message.source) != accelerators(target)
            || message.source.count('\n') != target.count('\n'))
            wrong << describe(message) + " -> " + target;
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

// The runner parses the chosen entry as width*height, in every language.
void tst_Translations::pageSizesUnchanged()
{
    QFETCH(QString, language);
    int sizes = 0;
    for (const Message& message : readTs(tsPath(language))) {
        if (QRegularExpression("^\\d+\\*\\d+$").match(message.source).hasMatch()) {
            QCOMPARE(message.context, QStringLiteral("YBrowserRunnerClass"));
            QCOMPARE(message.translation, message.source);
            ++sizes;
        }
    }
    QCOMPARE(sizes, 25);
}

void tst_Translations::compiledFileMatchesSource()
{
    QFETCH(QString, language);
    QTranslator translator;
    QVERIFY2(translator.load(qmPath(language)), qPrintable(qmPath(language)));
    for (const Message& message : readTs(tsPath(language))) {
        const QString compiled = translator.translate(message.context.toUtf8().constData(),
                                                      message.source.toUtf8().constData());
        QVERIFY2(compiled == message.translation, qPrintable(describe(message) + " -> " + compiled));
    }
}

void tst_Translations::keyTexts_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("en tab menu") << "en" << QByteArray("TabWidget") << QByteArray("关闭其他标签页(&O)")
                                 << "Close &Other Tabs";
    QTest::newRow("ru tab menu") << "ru" << QByteArray("TabWidget") << QByteArray("关闭其他标签页(&O)")
                                 << QString::fromUtf8("Закрыть &другие вкладки");
    QTest::newRow("en new tab") << "en" << QByteArray("TabWidget") << QByteArray("新建标签") << "New Tab";
    QTest::newRow("ru new tab") << "ru" << QByteArray("TabWidget") << QByteArray("新建标签")
                                << QString::fromUtf8("Новая вкладка");
    QTest::newRow("en size limit") << "en" << QByteArray("YBrowserRunner") << QByteArray("网站分辨率不能大于%1X%2!")
                                   << QString::fromUtf8("The page size cannot exceed %1×%2.");
    QTest::newRow("ru size limit") << "ru" << QByteArray("YBrowserRunner") << QByteArray("网站分辨率不能大于%1X%2!")
                                   << QString::fromUtf8("Размер страницы не может превышать %1×%2.");
    QTest::newRow("en form label") << "en" << QByteArray("YBrowserRunnerClass") << QByteArray("网页尺寸")
                                   << "Page size";
    QTest::newRow("ru ok button") << "ru" << QByteArray("YFrameDialog") << QByteArray("确认")
                                  << QString::fromUtf8("ОК");
    QTest::newRow("en two lines") << "en" << QByteArray("YWebView_Qt")
                                  << QByteArray("使用代码退出渲染过程：%1\n你想重新加载页面吗？")
                                  << "The render process exited with code: %1\nDo you want to reload the page?";
    QTest::newRow("en colour dialog") << "en" << QByteArray("YUILIB::YSubColorDialog")
                                      << QByteArray("获取屏幕颜色(&P)") << "&Pick Screen Color";
    QTest::newRow("ru other context") << "ru" << QByteArray("YFrameDialog") << QByteArray("确定") << QString();
    QTest::newRow("ru login intro") << "ru" << QByteArray("WebPage") << QByteArray("在%2输入%1的用户名和密码")
                                    << QString::fromUtf8("Введите имя пользователя и пароль для %1 на %2");
    QTest::newRow("en proxy intro") << "en" << QByteArray("WebPage") << QByteArray("使用以下参数连接到代理\"%1\"：")
                                    << "Connect to proxy \"%1\" using:";
    QTest::newRow("ru password label") << "ru" << QByteArray("PasswordWidget") << QByteArray("密  码：")
                                       << QString::fromUtf8("Пароль:");
    // The engine view has no meta-object of its own, so its menu asks in its base's context.
    QTest::newRow("en engine menu") << "en" << QByteArray("QWebEngineView") << QByteArray("打开链接") << "Open Link";
    QTest::newRow("ru engine menu") << "ru" << QByteArray("QWebEngineView") << QByteArray("刷新")
                                    << QString::fromUtf8("Обновить");
    QTest::newRow("en unknown text") << "en" << QByteArray("TabWidget") << QByteArray("关闭") << QString();
}

void tst_Translations::keyTexts()
{
    QFETCH(QString, language);
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, source);
    QFETCH(QString, expected);
    QTranslator translator;
    QVERIFY(translator.load(qmPath(language)));
    QCOMPARE(translator.translate(context.constData(), source.constData()), expected);
}

void tst_Translations::sourcesUpToDate()
{
    QFETCH(QString, language);
    const QString lupdate = QStandardPaths::findExecutable("lupdate", {"/usr/lib/qt5/bin"}).isEmpty()
        ? QStandardPaths::findExecutable("lupdate")
        : QStringLiteral("/usr/lib/qt5/bin/lupdate");
    if (lupdate.isEmpty())
        QSKIP("lupdate is not installed");

    QTemporaryDir dir;
    const QString copy = dir.filePath("ybrowserrunner.ts");
    QVERIFY(QFile::copy(tsPath(language), copy));
    QProcess update;
    update.setWorkingDirectory(sourceDir());
    update.start("bash", {sourceDir() + "/tools/update-translations.sh", copy});
    QVERIFY(update.waitForFinished(120000));
    QCOMPARE(update.exitStatus(), QProcess::NormalExit);
    QCOMPARE(update.exitCode(), 0);

    const QSet<QString> committed = keys(readTs(tsPath(language)));
    const QSet<QString> scanned = keys(readTs(copy));
    const QStringList added = QSet<QString>(scanned).subtract(committed).values();
    const QStringList dropped = QSet<QString>(committed).subtract(scanned).values();
    QVERIFY2(added.isEmpty() && dropped.isEmpty(),
             qPrintable("new: " + added.join(", ") + "\ngone: " + dropped.join(", ")));
}

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_translations.moc"
