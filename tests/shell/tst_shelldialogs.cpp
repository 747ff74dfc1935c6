// The shell's dialogs, help and pictures: message boxes showing a host's text, "Change EMail
// Address" and "Cache Path" with their checks and the cache path's normal form, the help window
// and context help by control, and the program's drawn pictures (pane images, transfer arrows,
// tool bar, application icon).

#include "ShellFixture.h"

#include "support/TestEnvironment.h"

#include "panes/ArrowButton.h"
#include "panes/CommandIds.h"
#include "panes/FileWindow.h"
#include "panes/DirWindow.h"
#include "panes/PaneImages.h"
#include "panes/Window.h"
#include "platform/LocalDrives.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsKeys.h"
#include "shell/CSplitter.h"
#include "shell/CachePathDialog.h"
#include "shell/EmailDialog.h"
#include "shell/FTPFrame.h"
#include "shell/HelpContexts.h"
#include "shell/HelpWindow.h"
#include "shell/MessageBoxPrompt.h"
#include "shell/ProgramPictures.h"
#include "dialogs/SelectWild.h"

#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

namespace {

bool isStored(const QString &name)
{
    QString text;
    return GetAppValue(name, text, 1000) == 0;
}

// A drive letter that this computer does not have.
QString missingDrive()
{
    const QList<Drive> drives = localDrives();
    for (char letter = 'Y'; letter > 'C'; --letter) {
        bool used = false;
        for (const Drive &drive : drives)
            used = used || drive.letter == QLatin1Char(letter);
        if (!used)
            return QString(QLatin1Char(letter));
    }
    return {};
}

QImage look(QWidget &widget)
{
    return widget.grab().toImage();
}

} // namespace

class TestShellDialogs : public QObject
{
    Q_OBJECT

    TestEnvironment env_;

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    // --- message boxes -------------------------------------------------------------------------

    // A box may show a host's reply: as plain text (no markup is read) with its control
    // characters and bidi overrides made visible, the caption too.
    void messageBoxShowsHostTextPlainly()
    {
        QString text, caption;
        Qt::TextFormat format = Qt::AutoText;
        std::function<void()> answer = [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                QTimer::singleShot(0, answer); // not shown yet
                return;
            }
            text = box->text();
            caption = box->windowTitle();
            format = box->textFormat();
            box->button(QMessageBox::Ok)->click();
        };
        QTimer::singleShot(0, answer);
        MessageBoxPrompt prompt;
        const int chosen = prompt.ask(QString::fromUtf16(u"550 <b>\x1b]0;owned\x07</b>\n\u009b2J \u202egone"),
                                      QStringLiteral("Error \x1b[2J"), Prompt::Icon::Warning, Prompt::Ok);
        QCOMPARE(chosen, int(Prompt::Ok));
        QCOMPARE(text, QStringLiteral("550 <b>\\x1b]0;owned\\x07</b>\n\\x9b2J \\u{202e}gone"));
        QCOMPARE(caption, QStringLiteral("Error \\x1b[2J"));
        QCOMPARE(format, Qt::PlainText);
    }

    // --- Change EMail Address ------------------------------------------------------------------

    void emailDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::newRow("address") << "someone@example.org" << true << "";
        QTest::newRow("any text") << "guest" << true << "";
        QTest::newRow("empty") << ""
                               << false << "You must enter an EMail address or anonymous logins will not work.";
        QTest::newRow("line break") << "a@b.org\r\nDELE x" << false << "The EMail address may not contain a line break.";
    }

    void emailDialog()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        StoreFixture store;
        SetAppValue(QStringLiteral("EMail"), QStringLiteral("old@example.org"));
        RecordingPrompt prompt;
        EmailDialog dialog(prompt);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Change EMail Address"));
        QCOMPARE(dialog.edit()->text(), QStringLiteral("old@example.org"));
        QCOMPARE(dialog.edit()->maxLength(), 999);

        ScriptedDialogs::type(typed)(dialog);
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(AppValue(QStringLiteral("EMail")), accepted ? typed : QStringLiteral("old@example.org"));
        if (message.isEmpty()) {
            QVERIFY2(prompt.isEmpty(), qPrintable(prompt.dump()));
        } else {
            QCOMPARE(prompt.count(), 1);
            QCOMPARE(prompt.lastText(), message);
            QCOMPARE(prompt.lastCaption(), QStringLiteral("Error"));
            QCOMPARE(prompt.entries().first().icon, Prompt::Icon::Warning);
            // The dialog stays for another try.
            ScriptedDialogs::type(QStringLiteral("fixed@example.org"))(dialog);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(AppValue(QStringLiteral("EMail")), QStringLiteral("fixed@example.org"));
        }
    }

    void emailCancelWritesNothing()
    {
        StoreFixture store;
        RecordingPrompt prompt;
        EmailDialog dialog(prompt);
        QVERIFY(dialog.edit()->text().isEmpty());
        dialog.edit()->setText(QStringLiteral("typed@example.org"));
        ScriptedDialogs::cancel()(dialog);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!isStored(QStringLiteral("EMail")));
        QVERIFY(prompt.isEmpty());
    }

    // --- Cache Path ----------------------------------------------------------------------------

    void cachePathNormalForm_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("normal");
        QTest::newRow("bare name") << "temp" << "C:\\temp\\";
        QTest::newRow("drive without backslash") << "D:cache" << "D:\\cache\\";
        QTest::newRow("slashes") << "/var/x" << "C:\\var\\x\\";
        QTest::newRow("complete") << "C:\\already\\" << "C:\\already\\";
        QTest::newRow("forward slashes with drive") << "E:/a/b" << "E:\\a\\b\\";
        QTest::newRow("one character") << "x" << "C:\\x\\";
        QTest::newRow("two characters") << "ab" << "C:\\ab\\";
        QTest::newRow("lone backslash") << "\\" << "C:\\";
        QTest::newRow("drive only") << "D:" << "D:\\";
        QTest::newRow("drive and backslash") << "D:\\" << "D:\\";
        QTest::newRow("trailing slash kept single") << "dir/" << "C:\\dir\\";
    }

    void cachePathNormalForm()
    {
        QFETCH(QString, typed);
        QFETCH(QString, normal);
        QCOMPARE(CachePathDialog::normalise(typed), normal);
    }

    void cachePathDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty: nothing stored, the dialog stays
        QTest::addColumn<QString>("message");
        QTest::newRow("bare name") << "temp" << "C:\\temp\\" << "";
        QTest::newRow("slashes") << "/var/x" << "C:\\var\\x\\" << "";
        QTest::newRow("root of the file system") << "Z:/tmp/vemal" << "Z:\\tmp\\vemal\\" << "";
        QTest::newRow("empty") << "" << "" << "You must enter a path.";
        QTest::newRow("no such drive") << missingDrive() + ":\\cache" << ""
                                       << missingDrive() + ":\\cache\\ is not a folder on a drive of this computer.";
        QTest::newRow("above the drive") << "C:\\..\\..\\etc" << ""
                                         << "C:\\..\\..\\etc\\ is not a folder on a drive of this computer.";
    }

    void cachePathDialog()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, message);
        StoreFixture store;
        SetAppValue(QStringLiteral("CachePath"), QStringLiteral("C:\\before\\"));
        RecordingPrompt prompt;
        CachePathDialog dialog(prompt);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Cache Path"));
        QCOMPARE(dialog.edit()->text(), QStringLiteral("C:\\before\\"));
        QCOMPARE(dialog.edit()->maxLength(), 799);

        ScriptedDialogs::type(typed)(dialog);
        QCOMPARE(dialog.result() == QDialog::Accepted, !stored.isEmpty());
        QCOMPARE(AppValue(QStringLiteral("CachePath")), stored.isEmpty() ? QStringLiteral("C:\\before\\") : stored);
        if (message.isEmpty()) {
            QVERIFY2(prompt.isEmpty(), qPrintable(prompt.dump()));
        } else {
            QCOMPARE(prompt.count(), 1);
            QCOMPARE(prompt.lastText(), message);
            QCOMPARE(prompt.lastCaption(), QStringLiteral("Error"));
            QCOMPARE(prompt.entries().first().icon, Prompt::Icon::Warning);
        }
    }

    // Nothing stored yet: the usual per-user cache folder is offered; Cancel stores nothing.
    void cachePathOffersTheDefault()
    {
        StoreFixture store;
        RecordingPrompt prompt;
        CachePathDialog dialog(prompt);
        QCOMPARE(dialog.edit()->text(), defaultCachePath());
        ScriptedDialogs::cancel()(dialog);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!isStored(QStringLiteral("CachePath")));
    }

    // The shell's one-question dialogs open in the middle of the screen, whatever their owner.
    void dialogsOpenCentred_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::newRow("Change EMail Address") << "email";
        QTest::newRow("Cache Path") << "cache";
        QTest::newRow("Select Using Filter") << "filter";
    }

    void dialogsOpenCentred()
    {
        QFETCH(QString, dialog);
        StoreFixture store;
        RecordingPrompt prompt;
        QWidget owner;
        owner.setGeometry(5, 5, 200, 150);
        owner.show();
        std::unique_ptr<QDialog> shown;
        if (dialog == QLatin1String("email"))
            shown = std::make_unique<EmailDialog>(prompt, &owner);
        else if (dialog == QLatin1String("cache"))
            shown = std::make_unique<CachePathDialog>(prompt, &owner);
        else
            shown = std::make_unique<SelectWild>(&owner, QString(), false, false, false);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        const QRect screen = shown->screen()->geometry();
        QCOMPARE(shown->pos(), QPoint(screen.x() + screen.width() / 2 - shown->width() / 2,
                                      screen.y() + screen.height() / 2 - shown->height() / 2));
    }

    // --- help ----------------------------------------------------------------------------------

    void everyTopicHasAPage()
    {
        QFile contents(QLatin1Char(':') + HelpWindow::contentsUrl().path());
        QVERIFY(contents.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(contents.readAll());
        for (int topic = 401; topic <= 411; ++topic) {
            QVERIFY2(!HelpWindow::topicUrl(topic).isEmpty(), qPrintable(QString::number(topic)));
            QVERIFY2(text.contains(QStringLiteral("href=\"topic%1.html\"").arg(topic)), qPrintable(QString::number(topic)));
        }
        QVERIFY(HelpWindow::topicUrl(400).isEmpty());
        QVERIFY(HelpWindow::topicUrl(412).isEmpty());
    }

    void helpTopicsShowsTheContents()
    {
        ShellFixture shell;
        FTPApp &app = shell.start();
        QVERIFY(!app.helpWindow());
        QVERIFY(app.frame()->runCommand(Cmd::HelpTopics));
        QVERIFY(app.helpWindow());
        QVERIFY(app.helpWindow()->isVisible());
        QCOMPARE(app.helpWindow()->page(), HelpWindow::contentsUrl());
        QVERIFY(app.helpWindow()->browser()->toPlainText().contains(QStringLiteral("Vemal Ftp Help")));

        // A link of the contents leads to a topic.
        app.helpWindow()->browser()->setSource(QUrl(QStringLiteral("topic410.html")));
        QVERIFY(app.helpWindow()->browser()->toPlainText().contains(QStringLiteral("The File List")));
    }

    // F1 in the frame's file list opens topic 410, in its tree 411, elsewhere the contents.
    void contextHelpInTheFrame_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("topic");
        QTest::newRow("file list") << "list" << 410;
        QTest::newRow("location tree") << "tree" << 411;
        QTest::newRow("second pane's list") << "list1" << 410;
        QTest::newRow("transfer arrow") << "arrow" << 0;
    }

    void contextHelpInTheFrame()
    {
        QFETCH(QString, where);
        QFETCH(int, topic);
        ShellFixture shell;
        FTPApp &app = shell.start();
        FTPFrame *frame = app.frame();
        Window *pane = app.splitter()->pane(where == QLatin1String("list1") ? 1 : 0);
        QWidget *control = nullptr;
        if (where == QLatin1String("tree"))
            control = pane->tree();
        else if (where == QLatin1String("arrow"))
            control = app.splitter()->pane(1)->arrowToFirst();
        else
            control = pane->list()->view() ? static_cast<QWidget *>(pane->list()->view()) : pane->list();
        QCOMPARE(HelpContexts::topicFor(control), topic);

        if (where == QLatin1String("arrow"))
            return; // a button that takes no focus
        if (where == QLatin1String("tree") && !pane->showTree())
            QVERIFY(frame->runCommand(Cmd::ShowTree));
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        control->setFocusPolicy(Qt::StrongFocus);
        control->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), control);
        QTest::keyClick(control, Qt::Key_F1);
        QVERIFY(app.helpWindow());
        QCOMPARE(app.helpWindow()->page(), HelpWindow::topicUrl(topic));
    }

    // A dialog registers its table while it exists; its controls do not take the frame's topics.
    void contextHelpOfADialog()
    {
        ShellFixture shell;
        FTPApp &app = shell.start();
        auto *dialog = new QDialog(app.frame());
        auto *name = new QLineEdit(dialog);
        name->setObjectName(QStringLiteral("ctl101"));
        auto *other = new QLineEdit(dialog);
        other->setProperty("controlId", 104);
        auto *plain = new QLineEdit(dialog);
        plain->setObjectName(QStringLiteral("ctl103"));
        QCOMPARE(HelpContexts::topicFor(name), 0); // not the frame's 101 -> 410

        HelpContexts::registerWindow(dialog, {{101, 405}, {104, 405}, {102, 405}});
        QCOMPARE(HelpContexts::topicFor(name), 405);
        QCOMPARE(HelpContexts::topicFor(other), 405);
        QCOMPARE(HelpContexts::topicFor(plain), 0);

        dialog->show();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        other->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), other);
        QTest::keyClick(other, Qt::Key_F1);
        QCOMPARE(app.helpWindow()->page(), HelpWindow::topicUrl(405));

        plain->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), plain);
        QTest::keyClick(plain, Qt::Key_F1);
        QCOMPARE(app.helpWindow()->page(), HelpWindow::contentsUrl());

        delete dialog;
        QVERIFY(!HelpContexts::isRegistered(dialog));
    }

    // Help asked for in a modal dialog can be read and used while the dialog waits: its buttons
    // take clicks, which the dialog's modality would otherwise hold back.
    void helpFromAModalDialogIsUsable()
    {
        ShellFixture shell;
        FTPApp &app = shell.start();
        auto *dialog = new QDialog(app.frame());
        auto *name = new QLineEdit(dialog);
        name->setObjectName(QStringLiteral("ctl101"));
        HelpContexts::registerWindow(dialog, {{101, 405}});
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        name->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), name);
        QTest::keyClick(name, Qt::Key_F1);
        HelpWindow *help = app.helpWindow();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->page(), HelpWindow::topicUrl(405));

        // A click on "Contents" as the window system delivers it.
        QPushButton *contents = nullptr;
        for (QPushButton *button : help->findChildren<QPushButton *>()) {
            if (button->text() == QLatin1String("&Contents"))
                contents = button;
        }
        QVERIFY(contents);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        const QPoint at = contents->mapTo(help, contents->rect().center());
        QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(help->page(), HelpWindow::contentsUrl());

        delete dialog;
        // Help opened later from the frame is a window of the frame again.
        QVERIFY(app.frame()->runCommand(Cmd::HelpTopics));
        QVERIFY(app.helpWindow() && app.helpWindow()->isVisible());
    }

    // --- pictures ------------------------------------------------------------------------------

    void paneImages()
    {
        const QList<QIcon> &images = ::paneImages();
        QCOMPARE(images.size(), int(PaneIconCount));
        for (int i = 0; i < images.size(); ++i) {
            QVERIFY2(!images.at(i).isNull(), qPrintable(QString::number(i)));
            const QPixmap small = images.at(i).pixmap(QSize(16, 16), 1.0);
            const QPixmap sharp = images.at(i).pixmap(QSize(16, 16), 2.0);
            QCOMPARE(small.deviceIndependentSize().toSize(), QSize(16, 16));
            QCOMPARE(sharp.size(), QSize(32, 32));
        }
        // A drive of unknown type looks like a folder; the link and the pending folders do not.
        const auto same = [&images](int a, int b) {
            return images.at(a).pixmap(16, 16).toImage() == images.at(b).pixmap(16, 16).toImage();
        };
        QVERIFY(same(IconFolder, IconFolderPlain));
        QVERIFY(!same(IconFolder, IconLink));
        QVERIFY(!same(IconFolder, IconPendingFolder));
        QVERIFY(!same(IconFolderOpen, IconPendingFolderOpen));
        QVERIFY(!same(IconBinaryFile, IconAsciiFile));
        QVERIFY(paneImage(PaneIconCount).isNull());
    }

    void arrowLooks()
    {
        ArrowButton arrow(ArrowButton::Left);
        arrow.resize(20, 20);
        const QImage normal = look(arrow);
        arrow.setDown(true);
        const QImage pressed = look(arrow);
        arrow.setDown(false);
        arrow.setGreyed(true);
        const QImage greyed = look(arrow);
        QVERIFY(normal != pressed);
        QVERIFY(normal != greyed);
        QVERIFY(pressed != greyed);

        // The four directions are four pictures.
        QList<QImage> directions;
        for (ArrowButton::Direction direction : {ArrowButton::Up, ArrowButton::Down, ArrowButton::Left, ArrowButton::Right}) {
            ArrowButton each(direction);
            each.resize(20, 20);
            const QImage image = look(each);
            QVERIFY(!directions.contains(image));
            directions << image;
        }

        // Greyed is only a look: the arrow still clicks.
        QSignalSpy clicked(&arrow, &QAbstractButton::clicked);
        arrow.click();
        QCOMPARE(clicked.size(), 1);
    }

    void toolPictures_data()
    {
        QTest::addColumn<int>("bitmap");
        for (int bitmap : {1, 3, 4, 15, 16, 20, 22, 16627})
            QTest::newRow(qPrintable(QString::number(bitmap))) << bitmap;
    }

    void toolPictures()
    {
        QFETCH(int, bitmap);
        const QIcon drawn = ProgramPictures::drawnToolPicture(bitmap);
        QVERIFY(!drawn.isNull());
        QVERIFY(!ProgramPictures::toolPicture(bitmap).isNull());
        // Something is drawn: not a blank square.
        const QImage image = drawn.pixmap(16, 16).toImage();
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += qAlpha(image.pixel(x, y)) > 0;
        QVERIFY(painted > 20);
    }

    void appIcon()
    {
        const QIcon icon = ProgramPictures::appIcon();
        for (int size : {16, 32, 48, 64})
            QCOMPARE(icon.pixmap(size, size).size(), QSize(size, size));
        QVERIFY(ProgramPictures::toolPicture(2).isNull());
    }
};

QTEST_MAIN(TestShellDialogs)
#include "tst_shelldialogs.moc"
