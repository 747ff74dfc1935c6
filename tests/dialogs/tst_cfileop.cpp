// The local copy and delete window: its texts, the overwrite question asked on the GUI thread,
// finished run once, and the window kept until its worker has ended, whether the work ends,
// is cancelled or closed while the question is open, or the parent goes first.

#include "localops/LocalTreeFixture.h"
#include "support/RecordingPrompt.h"
#include "support/TestEnvironment.h"

#include "dialogs/CFileOp.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <functional>
#include <utility>

using localtest::LocalTreeFixture;

namespace {

constexpr int Bound = 20000; // ms

// Records like RecordingPrompt, notes whether every box came on the GUI thread, and runs an
// action of the test inside the first Yes/No question, before it is answered.
class ScriptedPrompt : public RecordingPrompt
{
public:
    int ask(const QString &text, const QString &caption, Icon icon, int buttons) override
    {
        onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
        if ((buttons & Yes) && whileAsked)
            std::exchange(whileAsked, {})();
        return RecordingPrompt::ask(text, caption, icon, buttons);
    }

    std::function<void()> whileAsked;
    bool onGuiThread = true;
};

QString textOf(const QWidget *window, const char *name)
{
    if (const auto *label = window->findChild<QLabel *>(QLatin1String(name)))
        return label->text();
    const auto *edit = window->findChild<QLineEdit *>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

} // namespace

class TestCFileOp : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    std::unique_ptr<LocalTreeFixture> fixture_;
    ScriptedPrompt prompt_;
    QPointer<CFileOp> op_;
    QStringList log_; // "finished" and "destroyed", in the order they happened
    bool workingAtFinish_ = true;

    // The path as the window shows it: the fixture lies below the home folder, drive C:.
    QString shown(const QString &relative) const
    {
        return QStringLiteral("C:") + fixture_->path(relative).mid(env_.home().size());
    }

    std::function<void()> finishedCallback()
    {
        return [this] {
            log_ << QStringLiteral("finished");
            workingAtFinish_ = op_ && op_->isWorking();
        };
    }

    void watch(CFileOp *op)
    {
        op_ = op;
        QVERIFY(op);
        connect(op, &QObject::destroyed, this, [this] { log_ << QStringLiteral("destroyed"); });
    }

    void waitUntilGone()
    {
        QTRY_VERIFY_WITH_TIMEOUT(op_.isNull(), Bound);
    }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void init()
    {
        fixture_ = std::make_unique<LocalTreeFixture>(env_.home());
        QVERIFY(fixture_->isValid());
        prompt_.clear();
        prompt_.onGuiThread = true;
        prompt_.whileAsked = {};
        log_.clear();
        workingAtFinish_ = true;
    }

    void cleanup() { QTRY_VERIFY_WITH_TIMEOUT(op_.isNull(), Bound); }

    // The question names the destination, is asked on the GUI thread while the window shows the
    // file; the answer decides; finished runs once, after the worker, before the window goes.
    void copyAsksOverwrite_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("left");
        QTest::newRow("yes") << int(Prompt::Yes) << "new";
        QTest::newRow("no") << int(Prompt::No) << "old";
    }

    void copyAsksOverwrite()
    {
        QFETCH(int, answer);
        QFETCH(QString, left);
        QVERIFY(fixture_->make({"f src/a=new", "f src/b=b", "f dst/a=old"}));
        QStringList texts;
        prompt_.whileAsked = [&] {
            texts << op_->windowTitle() << textOf(op_, "ctl15745") << textOf(op_, "ctl101") << textOf(op_, "ctl24567");
        };
        prompt_.queueAnswer(answer);

        watch(CFileOp::copy(nullptr, prompt_, {"a", "b"}, fixture_->folder("src"), fixture_->folder("dst"),
                            finishedCallback()));
        waitUntilGone();

        QCOMPARE(prompt_.count(), 1);
        const RecordingPrompt::Entry asked = prompt_.entries().first();
        QCOMPARE(asked.text, QStringLiteral("File %1 exists.  Overwrite?").arg(shown("dst/a")));
        QCOMPARE(asked.caption, QStringLiteral("File Exists"));
        QCOMPARE(asked.buttons, int(Prompt::Yes | Prompt::No));
        QVERIFY(prompt_.onGuiThread);
        QCOMPARE(texts, (QStringList{"Local Copy", "Copying File:", shown("src/a"), "1 files remaining"}));
        QCOMPARE(fixture_->treeOf("dst"), (QStringList{"f a=" + left, "f b=b"}));
        QCOMPARE(log_, (QStringList{"finished", "destroyed"}));
        QVERIFY(!workingAtFinish_);
    }

    // Cancel, Escape or closing while the question is open stops the worker; the window stays
    // until the worker has ended (here: past the end of the worker, inside the question), and
    // nothing is overwritten even if the answer is Yes.
    void stopWhileAsked_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("escape") << "escape";
        QTest::newRow("close") << "close";
    }

    void stopWhileAsked()
    {
        QFETCH(QString, how);
        QStringList entries{"f dst/f05=old"};
        for (int i = 0; i < 10; ++i)
            entries << QStringLiteral("f src/f%1=new").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(fixture_->make(entries));
        bool stayed = false;
        prompt_.whileAsked = [&] {
            if (how == "cancel")
                op_->findChild<QPushButton *>("ctl2")->click();
            else if (how == "escape")
                QTest::keyClick(op_, Qt::Key_Escape);
            else
                op_->close();
            // The worker ends while the question is still open; the window waits for it.
            stayed = QTest::qWaitFor([&] { return op_ && !op_->isWorking(); }, Bound) && op_ && log_.isEmpty();
        };
        prompt_.queueAnswer(Prompt::Yes);

        QStringList names = QDir(fixture_->path("src")).entryList(QDir::Files);
        watch(CFileOp::copy(nullptr, prompt_, names, fixture_->folder("src"), fixture_->folder("dst"),
                            finishedCallback()));
        waitUntilGone();

        QVERIFY(stayed);
        QStringList expected;
        for (int i = 0; i < 5; ++i)
            expected << QStringLiteral("f f%1=new").arg(i, 2, 10, QLatin1Char('0'));
        expected << "f f05=old";
        QCOMPARE(fixture_->treeOf("dst"), expected);
        QCOMPARE(log_, (QStringList{"finished", "destroyed"}));
        QVERIFY(!workingAtFinish_);
        QCOMPARE(prompt_.count(), 1); // no failures to show after a stop
    }

    // A parent that goes first takes the window along: the worker is stopped and waited for,
    // finished is not run (whoever asked for it may be gone), nothing is overwritten.
    void parentGoesWhileAsked()
    {
        QVERIFY(fixture_->make({"f src/a=new", "f dst/a=old"}));
        auto *parent = new QWidget;
        prompt_.whileAsked = [&] { delete parent; };
        prompt_.queueAnswer(Prompt::Yes);

        watch(CFileOp::copy(parent, prompt_, {"a"}, fixture_->folder("src"), fixture_->folder("dst"),
                            finishedCallback()));
        waitUntilGone();

        QCOMPARE(log_, QStringList{"destroyed"});
        QCOMPARE(fixture_->treeOf("dst"), QStringList{"f a=old"});
    }

    // What could not be done is shown in one box, each path with the system's reason, after
    // finished; the rest is done.
    void failuresShown_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dest"); // empty: a delete
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("lines"); // "~/" stands for the fixture's root as shown
        QTest::addColumn<QStringList>("tree");

        QTest::newRow("delete") << QStringList{"x", "y"} << "src/plain" << QString() << "Local Delete"
                                << QStringList{"Some files or folders could not be deleted:",
                                               "Couldn't delete ~/src/plain/x: Not a directory",
                                               "Couldn't delete ~/src/plain/y: Not a directory"}
                                << QStringList{"d dst", "d src", "d src/sub", "f dst/sub=file", "f src/a=a",
                                               "f src/plain=p", "f src/sub/b=b"};
        QTest::newRow("copy") << QStringList{"a", "sub"} << "src" << "dst" << "Local Copy"
                              << QStringList{"Some files or folders could not be copied:",
                                             "Couldn't create the folder ~/dst/sub: File exists"}
                              << QStringList{"d dst", "d src", "d src/sub", "f dst/a=a", "f dst/sub=file",
                                             "f src/a=a", "f src/plain=p", "f src/sub/b=b"};
    }

    void failuresShown()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, source);
        QFETCH(QString, dest);
        QFETCH(QString, caption);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, tree);
        QVERIFY(fixture_->make({"f src/a=a", "f src/sub/b=b", "f src/plain=p", "f dst/sub=file"}));
        const QString destDir = dest.isEmpty() ? QString() : fixture_->folder(dest);
        watch(dest.isEmpty() ? CFileOp::remove(nullptr, prompt_, names, fixture_->folder(source), finishedCallback())
                             : CFileOp::copy(nullptr, prompt_, names, fixture_->folder(source), destDir, finishedCallback()));
        QCOMPARE(op_->windowTitle(), caption);
        QCOMPARE(textOf(op_, "ctl15745"), dest.isEmpty() ? QStringLiteral("Deleting File:") : QStringLiteral("Copying File:"));
        prompt_.whileAsked = [this] { log_ << QStringLiteral("asked"); }; // no question is expected
        waitUntilGone();

        QCOMPARE(fixture_->treeOf(), tree);
        QCOMPARE(prompt_.count(), 1);
        QCOMPARE(prompt_.lastCaption(), caption);
        QCOMPARE(prompt_.entries().first().icon, Prompt::Icon::Warning);
        QCOMPARE(prompt_.lastText(), lines.join(u'\n').replace(QStringLiteral("~/"), shown(QString())));
        QCOMPARE(log_, (QStringList{"finished", "destroyed"}));
    }

    // A folder on no drive of this computer reaches the worker as an empty path: a copy there (or
    // a delete from there) is refused with a message, and above all never turns into a delete.
    void unmappedFolderRefused_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QString>("caption");
        QTest::newRow("copy to it") << true << "Local Copy";
        QTest::newRow("delete in it") << false << "Local Delete";
    }

    void unmappedFolderRefused()
    {
        QFETCH(bool, copy);
        QFETCH(QString, caption);
        QVERIFY(fixture_->make({"f src/a=a", "f src/sub/b=b"}));
        const QStringList before = fixture_->treeOf();
        CFileOp *op = copy ? CFileOp::copy(nullptr, prompt_, {"a", "sub"}, fixture_->folder("src"), QString(), finishedCallback())
                           : CFileOp::remove(nullptr, prompt_, {"a", "sub"}, QString(), finishedCallback());
        QVERIFY(!op);
        QCOMPARE(prompt_.count(), 1);
        QCOMPARE(prompt_.lastCaption(), caption);
        QCOMPARE(fixture_->treeOf(), before);
        QVERIFY(log_.isEmpty()); // nothing started, so nothing finished
    }

    // A copy of a folder into itself is refused with one clear message; nothing is written.
    void copyIntoItselfRefused()
    {
        QVERIFY(fixture_->make({"f src/sel/x=x", "d src/sel/sub"}));
        const QStringList before = fixture_->treeOf();
        watch(CFileOp::copy(nullptr, prompt_, {"sel"}, fixture_->folder("src"), fixture_->folder("src/sel/sub"),
                            finishedCallback()));
        waitUntilGone();

        QCOMPARE(fixture_->treeOf(), before);
        QCOMPARE(prompt_.dump(),
                 QStringLiteral("Local Copy: The folder %1 can't be copied into itself or into a folder below it.\n")
                     .arg(shown("src/sel")));
        QCOMPARE(log_, (QStringList{"finished", "destroyed"}));
    }
};

QTEST_MAIN(TestCFileOp)
#include "tst_cfileop.moc"
