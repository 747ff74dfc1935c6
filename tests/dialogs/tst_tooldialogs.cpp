// The small tool windows of a pane's host or list: the directory statistics and their 64-bit
// sums, the custom command text, and the session monitor's lines.

#include "support/RecordingPrompt.h"

#include "dialogs/CustomCommandDialog.h"
#include "dialogs/DirInfoDialog.h"
#include "dialogs/DirectoryNameDialog.h"
#include "dialogs/HostFolderDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(std::function<QDialog *()>)

class TestToolDialogs : public QObject
{
    Q_OBJECT

private slots:
    void separators_data()
    {
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << quint64(0) << "0";
        QTest::newRow("three digits") << quint64(999) << "999";
        QTest::newRow("four digits") << quint64(1000) << "1,000";
        QTest::newRow("millions") << quint64(1234567) << "1,234,567";
        // Sums of files past 4 GiB do not wrap.
        QTest::newRow("five GiB") << (quint64(5) << 30) << "5,368,709,120";
        QTest::newRow("largest") << std::numeric_limits<quint64>::max() << "18,446,744,073,709,551,615";
    }

    void separators()
    {
        QFETCH(quint64, value);
        QTEST(DirInfoDialog::withSeparators(value), "text");
    }

    void commandText_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::newRow("one line") << "/pub/" << "SITE HELP" << "CWD /pub/\r\nSITE HELP\r\n";
        QTest::newRow("lines from another system") << "/" << "NOOP\r\nSTAT\r\n" << "CWD /\r\nNOOP\r\nSTAT\r\n";
        QTest::newRow("blank lines dropped") << "/" << "\nNOOP\n  \nSTAT" << "CWD /\r\nNOOP\r\nSTAT\r\n";
        QTest::newRow("nothing typed") << "/" << " \n " << "";
        QTest::newRow("folder with a line break") << "/a\r\nDELE x/" << "NOOP" << "";
    }

    void commandText()
    {
        QFETCH(QString, directory);
        QFETCH(QString, typed);
        QTEST(CustomCommandDialog::commandText(directory, typed), "text");
    }

    // A name dialog opens with its edit focused: what the user types goes there (not to OK, where
    // a space would press it).
    void nameDialogsTakeTyping_data()
    {
        QTest::addColumn<std::function<QDialog *()>>("make");
        static RecordingPrompt prompt;
        QTest::newRow("host folder") << std::function<QDialog *()>([] { return new HostFolderDialog(nullptr); });
        QTest::newRow("directory") << std::function<QDialog *()>([] {
            return new DirectoryNameDialog(nullptr, QStringLiteral("/pub/"), prompt);
        });
    }

    void nameDialogsTakeTyping()
    {
        QFETCH(std::function<QDialog *()>, make);
        std::unique_ptr<QDialog> dialog(make());
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("ctl101"));
        QCOMPARE(QApplication::focusWidget(), edit);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("My Servers"));
        QCOMPARE(edit->text(), QStringLiteral("My Servers"));
        QVERIFY(dialog->isVisible());
    }
};

QTEST_MAIN(TestToolDialogs)
#include "tst_tooldialogs.moc"
