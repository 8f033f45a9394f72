#include <QtTest>

namespace {
struct Message
{
    QString context, source, translation;
    bool finished;
};

QString sourceDir() { return qEnvironmentVariable("YBR_SOURCE_DIR", YBR_DEFAULT_SOURCE_DIR); }

QString tsPath(const QString& language)
{
    return sourceDir() + "/resources/Language/" + language + "/ybrowserrunner.ts";
}

QString qmPath(const QString& language)
{
    return qEnvironmentVariable("YBR_BUILD_DIR", YBR_DEFAULT_BUILD_DIR) + "/Language/" + language + "/ybrowserrunner.qm";
}

QVector<Message> readTs(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly); // a file that is not there reads as malformed
    QVector<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            messages.append({ context, {}, {}, false });
        else if (xml.name() == QLatin1String("source") && !messages.isEmpty())
            messages.last().source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation") && !messages.isEmpty()) {
            messages.last().finished = xml.attributes().value("type").isEmpty();
            messages.last().translation = xml.readElementText();
        }
    }
    return xml.hasError() ? QVector<Message>() : messages;
}

// Placeholders, accelerators and line breaks a translation must keep.
QString markers(const QString& text)
{
    QStringList found = { "&" + QString::number(QString(text).remove("&&").count(QRegularExpression("&\\S"))),
                          "\\n" + QString::number(text.count('\n')) };
    for (auto it = QRegularExpression("%\\d+").globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found.join(' ');
}
}

class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void everyTextTranslated_data() { languageRows(); }

    // Finished, markers kept, page sizes untranslated (the runner parses width*height), and the .qm file agrees.
    void everyTextTranslated()
    {
        QFETCH(QString, language);
        QFETCH(QString, sample);
        const QVector<Message> messages = readTs(tsPath(language));
        QVERIFY2(messages.size() > 50, qPrintable(tsPath(language)));
        QTranslator compiled;
        QVERIFY2(compiled.load(qmPath(language)), qPrintable(qmPath(language)));
        QCOMPARE(compiled.translate("TabWidget", "关闭其他标签页(&O)"), sample);
        QStringList wrong;
        int sizes = 0;
        for (const Message& m : messages) {
            const bool size = QRegularExpression("^\\d+\\*\\d+$").match(m.source).hasMatch();
            sizes += size;
            if (!m.finished || m.translation.trimmed().isEmpty() || markers(m.source) != markers(m.translation)
                || (size && (m.translation != m.source || m.context != "YBrowserRunnerClass"))
                || compiled.translate(qPrintable(m.context), m.source.toUtf8().constData()) != m.translation)
                wrong << m.context + " / " + m.source + " -> " + m.translation;
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
        QCOMPARE(sizes, 25);
    }

    void sourcesUpToDate_data() { languageRows(); }

    // Every tr() text of the sources is in the file, nothing else is.
    void sourcesUpToDate()
    {
        QFETCH(QString, language);
        QTemporaryDir dir;
        const QString copy = dir.filePath("ybrowserrunner.ts");
        QVERIFY(QFile::copy(tsPath(language), copy));
        QProcess update;
        update.start("bash", { sourceDir() + "/tools/update-translations.sh", copy });
        QVERIFY2(update.waitForFinished(120000) && update.exitStatus() == QProcess::NormalExit && update.exitCode() == 0,
                 update.readAllStandardError());
        const auto keys = [](const QString& path) {
            QSet<QString> set;
            for (const Message& m : readTs(path))
                set << m.context + " | " + m.source + " | " + m.translation;
            return set;
        };
        const QSet<QString> scanned = keys(copy), committed = keys(tsPath(language));
        const QStringList added = (scanned - committed).values(), gone = (committed - scanned).values();
        QVERIFY2(added.isEmpty() && gone.isEmpty(), qPrintable("new: " + added.join(", ") + "\ngone: " + gone.join(", ")));
    }

private:
    // One text each language must give exactly: the files are neither swapped nor stale.
    static void languageRows()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("sample");
        QTest::newRow("en") << "en" << "Close &Other Tabs";
        QTest::newRow("ru") << "ru" << QString::fromUtf8("Закрыть &другие вкладки");
    }
};

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_translations.moc"
