// Checks the recording prompt's answers and the test environment's redirection.

#include "support/RecordingPrompt.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QStandardPaths>
#include <QTest>

class TestTestFakes : public QObject
{
    Q_OBJECT

private slots:
    void promptAnswers_data();
    void promptAnswers();
    void promptSearch();
    void environmentRedirectsAndRestores();
};

void TestTestFakes::promptAnswers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QList<int>>("queued");
    QTest::addColumn<QList<int>>("answers");

    QTest::newRow("Ok alone") << int(Prompt::Ok) << QList<int>{} << QList<int>{Prompt::Ok};
    QTest::newRow("Ok|Cancel takes Ok") << (Prompt::Ok | Prompt::Cancel) << QList<int>{}
                                       << QList<int>{Prompt::Ok};
    QTest::newRow("Yes|No takes Yes") << (Prompt::Yes | Prompt::No) << QList<int>{}
                                     << QList<int>{Prompt::Yes};
    QTest::newRow("Yes|No|Cancel takes Yes") << (Prompt::Yes | Prompt::No | Prompt::Cancel)
                                            << QList<int>{} << QList<int>{Prompt::Yes};
    QTest::newRow("No|Cancel takes the first offered") << (Prompt::No | Prompt::Cancel) << QList<int>{}
                                                      << QList<int>{Prompt::Cancel};
    QTest::newRow("queued answers in order, then the default")
        << (Prompt::Yes | Prompt::No | Prompt::Cancel) << QList<int>{Prompt::No, Prompt::Cancel}
        << QList<int>{Prompt::No, Prompt::Cancel, Prompt::Yes};
}

void TestTestFakes::promptAnswers()
{
    QFETCH(int, buttons);
    QFETCH(QList<int>, queued);
    QFETCH(QList<int>, answers);

    RecordingPrompt prompt;
    for (int answer : queued)
        prompt.queueAnswer(answer);
    for (int i = 0; i < answers.size(); ++i) {
        const QString text = QStringLiteral("question %1").arg(i);
        QCOMPARE(prompt.ask(text, QStringLiteral("Caption"), Prompt::Icon::Question, buttons), answers.at(i));
    }
    QCOMPARE(prompt.pendingAnswers(), 0);
    QCOMPARE(prompt.count(), answers.size());
    const RecordingPrompt::Entry last = prompt.entries().last();
    QCOMPARE(last.text, QStringLiteral("question %1").arg(answers.size() - 1));
    QCOMPARE(last.caption, QStringLiteral("Caption"));
    QCOMPARE(last.icon, Prompt::Icon::Question);
    QCOMPARE(last.buttons, buttons);
    QCOMPARE(last.answer, answers.last());
}

void TestTestFakes::promptSearch()
{
    RecordingPrompt prompt;
    prompt.message(QStringLiteral("Cannot connect to host.example"), QStringLiteral("Error"));
    prompt.ask(QStringLiteral("Overwrite a.txt?"), QStringLiteral("Confirm"), Prompt::Icon::Question,
               Prompt::Yes | Prompt::No);

    QVERIFY(prompt.contains(QStringLiteral("Error"), QStringLiteral("connect")));
    QVERIFY(prompt.contains(QString(), QStringLiteral("a.txt")));
    QVERIFY(!prompt.contains(QStringLiteral("Confirm"), QStringLiteral("connect")));
    QVERIFY(!prompt.contains(QStringLiteral("Err"), QStringLiteral("connect")));
    QCOMPARE(prompt.entries().first().icon, Prompt::Icon::Warning);
    QCOMPARE(prompt.lastText(), QStringLiteral("Overwrite a.txt?"));
    QCOMPARE(prompt.lastCaption(), QStringLiteral("Confirm"));
    QCOMPARE(prompt.dump(), QStringLiteral("Error: Cannot connect to host.example\nConfirm: Overwrite a.txt?\n"));
}

void TestTestFakes::environmentRedirectsAndRestores()
{
    const QByteArray homeBefore = qgetenv("HOME");
    const QByteArray cacheBefore = "/nonexistent/cache-before";
    qputenv("XDG_CACHE_HOME", cacheBefore);
    qunsetenv("XDG_CONFIG_HOME");

    QString path;
    {
        TestEnvironment env;
        QVERIFY2(env.setUp(), qPrintable(env.errorString()));
        path = env.path();
        QVERIFY(QDir(path).exists());
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), env.configHome());
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), env.cacheHome());
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), env.dataHome());
        QCOMPARE(QDir::homePath(), env.home());
        for (const QString &folder : {env.configHome(), env.cacheHome(), env.dataHome(), env.stateHome(), env.home()}) {
            QVERIFY2(folder.startsWith(path + QLatin1Char('/')), qPrintable(folder));
            QVERIFY2(QDir(folder).exists(), qPrintable(folder));
        }
    }
    QCOMPARE(qgetenv("HOME"), homeBefore);
    QCOMPARE(qgetenv("XDG_CACHE_HOME"), cacheBefore);
    QVERIFY(!qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
    QVERIFY(!QDir(path).exists());

    TestEnvironment keepHome(TestEnvironment::Home::Keep);
    QVERIFY(keepHome.setUp());
    QCOMPARE(qgetenv("HOME"), homeBefore);
    QCOMPARE(keepHome.home(), QDir::homePath());
}

QTEST_GUILESS_MAIN(TestTestFakes)
#include "tst_testfakes.moc"
