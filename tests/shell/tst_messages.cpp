// The program's message boxes: never narrower than their caption, and "Host Options…" beside OK
// when a refused login can be mended, opening that host's options sheet; the certificate question
// and its three answers.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"

#include "dialogs/CertificateDialog.h"
#include "dialogs/DialogRunner.h"
#include "dialogs/HostOptionsSheet.h"
#include "pool/ConnectionManager.h"
#include "pool/ListInfo.h"
#include "settings/HostRecord.h"
#include "settings/StoreFixture.h"
#include "shell/MessageBoxPrompt.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(Prompt::Trust)

namespace {

constexpr int Bound = 20000; // ms: the longest any event below may take

const QString HostOptionsText = QStringLiteral("Host Options…");

// What a shown box looked like.
struct Seen
{
    int width = 0;
    QStringList buttons;
};

// Looks at the next message box once it shows, then presses the button with the given text
// (OK when there is none).
void lookAtBox(Seen &seen, const QString &press, int triesLeft)
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) {
        if (triesLeft > 0)
            QTimer::singleShot(10, [&seen, press, triesLeft] { lookAtBox(seen, press, triesLeft - 1); });
        return;
    }
    seen.width = box->width();
    QAbstractButton *chosen = box->button(QMessageBox::Ok);
    for (QAbstractButton *button : box->buttons()) {
        seen.buttons << button->text().remove(QLatin1Char('&'));
        if (button->text() == press)
            chosen = button;
    }
    chosen->click();
}

void answerBox(Seen &seen, const QString &press = QString())
{
    QTimer::singleShot(0, [&seen, press] { lookAtBox(seen, press, Bound / 10); });
}

const QString Fingerprint = QStringLiteral("3F:A0:9C:11:D2:7E:45:B8:60:0C:AF:93:2D:E4:71:5A:"
                                           "C8:19:F6:02:8B:3D:E7:54:A1:6F:90:2C:BB:48:D5:07");

CertificateQuestion selfSigned()
{
    CertificateQuestion question;
    question.host = QStringLiteral("Work Server");
    question.address = QStringLiteral("127.0.0.1:2121");
    question.subject = QStringLiteral("CN=localhost, O=Example");
    question.issuer = QStringLiteral("CN=localhost, O=Example");
    question.validFrom = QStringLiteral("2026-01-01 00:00");
    question.validUntil = QStringLiteral("2027-01-01 00:00");
    question.sha256 = Fingerprint;
    question.problems = QStringList{QStringLiteral("The certificate is self-signed, and untrusted"),
                                    QStringLiteral("The host name did not match any of the valid hosts for this certificate")};
    return question;
}

// A block of the certificate dialog: its text, its lines, and whether all of them show.
struct Block
{
    QString text;
    QList<int> lineLengths;
    bool fits = false;
};

Block blockOf(const QDialog &dialog, int id)
{
    Block block;
    auto *view = dialog.findChild<QTextEdit *>(QStringLiteral("ctl%1").arg(id));
    if (!view)
        return block;
    block.text = view->toPlainText();
    for (QTextBlock paragraph = view->document()->begin(); paragraph.isValid(); paragraph = paragraph.next()) {
        for (int i = 0; i < paragraph.layout()->lineCount(); ++i)
            block.lineLengths << paragraph.layout()->lineAt(i).textLength();
    }
    const QSizeF needed = view->document()->size();
    block.fits = needed.height() <= view->viewport()->height() && needed.width() <= view->viewport()->width();
    return block;
}

// What the certificate dialog showed before it was answered.
struct SeenCertificate
{
    QString caption;
    QString text;
    QString problems;
    Block subject;
    Block validUntil;
    Block fingerprint;
    QStringList buttons;
    int width = 0;
};

// Waits for the certificate dialog, looks at it, then answers it: a button's text, or a key.
void answerCertificate(SeenCertificate &seen, const QString &answer, int triesLeft = Bound / 10)
{
    auto *dialog = qobject_cast<CertificateDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) {
        if (triesLeft > 0)
            QTimer::singleShot(10, [&seen, answer, triesLeft] { answerCertificate(seen, answer, triesLeft - 1); });
        return;
    }
    seen.caption = dialog->windowTitle();
    seen.width = dialog->width();
    if (auto *label = dialog->findChild<QLabel *>(QStringLiteral("ctl%1").arg(CertificateDialog::IdText)))
        seen.text = label->text();
    if (auto *label = dialog->findChild<QLabel *>(QStringLiteral("ctl%1").arg(CertificateDialog::IdProblems)))
        seen.problems = label->text();
    seen.subject = blockOf(*dialog, CertificateDialog::IdSubject);
    seen.validUntil = blockOf(*dialog, CertificateDialog::IdValidUntil);
    seen.fingerprint = blockOf(*dialog, CertificateDialog::IdFingerprint);
    QAbstractButton *chosen = nullptr;
    for (auto *button : dialog->findChildren<QPushButton *>()) {
        seen.buttons << button->text().remove(QLatin1Char('&'));
        if (button->text().remove(QLatin1Char('&')) == answer)
            chosen = button;
    }
    if (chosen)
        chosen->click();
    else if (answer == QLatin1String("close"))
        dialog->close();
    else
        QTest::keyClick(dialog, answer == QLatin1String("Escape") ? Qt::Key_Escape : Qt::Key_Return);
}

// Records the host of every options sheet that is opened, and closes it.
class SheetRecorder : public DialogRunner
{
public:
    int run(QDialog &dialog) override
    {
        auto *sheet = qobject_cast<HostOptionsSheet *>(&dialog);
        hosts << (sheet ? sheet->hostName() : QStringLiteral("<%1>").arg(dialog.windowTitle()));
        dialog.reject();
        return dialog.result();
    }
    QStringList hosts;
};

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    std::unique_ptr<StoreFixture> store_;
    RecordingPrompt enginePrompt_; // the pool's own, unused by the boxes under test
    RecordingStatus status_;
    std::unique_ptr<ConnectionManager> pool_;
    SheetRecorder sheets_;

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void init()
    {
        store_ = std::make_unique<StoreFixture>();
        pool_ = std::make_unique<ConnectionManager>(enginePrompt_, status_);
        sheets_.hosts.clear();
        DialogRunner::install(&sheets_);
    }

    void cleanup()
    {
        DialogRunner::install(nullptr);
        pool_.reset();
        store_.reset();
    }

    // A title bar shows the caption in a bold face beside its icon and buttons: the box leaves
    // room for that, up to the width of the screen.
    void captionFits_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::newRow("short") << "Error";
        QTest::newRow("connect error") << "Connect Error";
        QTest::newRow("long, short text") << "Couldn't Change Dir for Rename";
        QTest::newRow("numbered") << "Custom Command 12 Completed";
        QTest::newRow("host name in it") << "Transferring between ftp.example.org and mirror.example.net";
        QTest::newRow("wider than the screen") << QString(400, QLatin1Char('W'));
    }

    void captionFits()
    {
        QFETCH(QString, caption);
        Seen seen;
        answerBox(seen);
        MessageBoxPrompt prompt;
        QCOMPARE(prompt.ask(QStringLiteral("No"), caption, Prompt::Icon::Warning, Prompt::Ok), int(Prompt::Ok));

        QFont bold = QApplication::font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        const int screen = QGuiApplication::primaryScreen()->availableGeometry().width();
        const int needed = metrics.horizontalAdvance(caption) + 4 * metrics.height();
        QVERIFY2(seen.width >= qMin(needed, screen * 9 / 10),
                 qPrintable(QStringLiteral("%1 px for a caption that needs %2").arg(seen.width).arg(needed)));
        QVERIFY2(seen.width <= screen, qPrintable(QString::number(seen.width)));
    }

    // The button shows only where it is asked for and the prompt can open a host's options.
    void hostOptionsButton_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<bool>("withPool");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("asked, with a pool") << int(Prompt::Ok | Prompt::HostOptions) << true
                                            << QStringList{"OK", HostOptionsText};
        QTest::newRow("asked, without a pool") << int(Prompt::Ok | Prompt::HostOptions) << false << QStringList{"OK"};
        QTest::newRow("not asked") << int(Prompt::Ok) << true << QStringList{"OK"};
    }

    void hostOptionsButton()
    {
        QFETCH(int, buttons);
        QFETCH(bool, withPool);
        QFETCH(QStringList, shown);
        MessageBoxPrompt prompt;
        if (withPool)
            prompt.setPool(pool_.get());
        Seen seen;
        answerBox(seen, HostOptionsText);
        const int chosen = prompt.ask(QStringLiteral("Invalid Password"), QStringLiteral("Login Error"),
                                      Prompt::Icon::Warning, buttons);
        seen.buttons.sort();
        shown.sort();
        QCOMPARE(seen.buttons, shown);
        QCOMPARE(chosen, int(shown.contains(HostOptionsText) ? Prompt::HostOptions : Prompt::Ok));
    }

    // The certificate question: each button gives its answer; Escape, Return (Cancel is the
    // default) and the close box refuse.
    void certificateAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<Prompt::Trust>("trust");
        QTest::newRow("Trust Once") << "Trust Once" << Prompt::Trust::Once;
        QTest::newRow("Trust Always") << "Trust Always" << Prompt::Trust::Always;
        QTest::newRow("Cancel") << "Cancel" << Prompt::Trust::Refuse;
        QTest::newRow("Escape") << "Escape" << Prompt::Trust::Refuse;
        QTest::newRow("Return") << "Return" << Prompt::Trust::Refuse;
        QTest::newRow("close box") << "close" << Prompt::Trust::Refuse;
    }

    void certificateAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(Prompt::Trust, trust);
        DialogRunner::install(nullptr); // shown as the program shows it
        SeenCertificate seen;
        QTimer::singleShot(0, [&seen, answer] { answerCertificate(seen, answer); });
        MessageBoxPrompt prompt;
        QCOMPARE(prompt.trustCertificate(selfSigned()), trust);

        QCOMPARE(seen.caption, QStringLiteral("Untrusted Certificate"));
        QCOMPARE(seen.buttons, (QStringList{"Trust Once", "Trust Always", "Cancel"}));
        QVERIFY2(seen.text.contains(QStringLiteral("Work Server (127.0.0.1:2121)")), qPrintable(seen.text));
        for (const QString &problem : selfSigned().problems)
            QVERIFY2(seen.problems.contains(problem), qPrintable(seen.problems));
        QCOMPARE(seen.subject.text, QStringLiteral("CN=localhost, O=Example"));
        QCOMPARE(seen.validUntil.text, QStringLiteral("2027-01-01 00:00"));
        // The fingerprint in full, 16 pairs a line, none of it cut off.
        QCOMPARE(seen.fingerprint.text, Fingerprint);
        QCOMPARE(seen.fingerprint.lineLengths, (QList<int>{48, 47}));
        QVERIFY(seen.fingerprint.fits);
    }

    // The host is named once, whether the address names it too or not.
    void certificateHostNamedOnce_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown");
        QTest::newRow("address only") << "Work Server" << "127.0.0.1:2121" << "host Work Server (127.0.0.1:2121) presented";
        QTest::newRow("address naming the host") << "Work Server" << "Work Server (127.0.0.1, port 2121)"
                                                 << "host Work Server (127.0.0.1, port 2121) presented";
        QTest::newRow("a host named by its address") << "127.0.0.1" << "127.0.0.1, port 2121"
                                                     << "host 127.0.0.1, port 2121 presented";
    }

    void certificateHostNamedOnce()
    {
        QFETCH(QString, host);
        QFETCH(QString, address);
        QFETCH(QString, shown);
        DialogRunner::install(nullptr);
        CertificateQuestion question = selfSigned();
        question.host = host;
        question.address = address;
        SeenCertificate seen;
        QTimer::singleShot(0, [&seen] { answerCertificate(seen, QStringLiteral("Escape")); });
        MessageBoxPrompt prompt;
        QCOMPARE(prompt.trustCertificate(question), Prompt::Trust::Refuse);
        QVERIFY2(seen.text.contains(shown), qPrintable(seen.text));
    }

    // A hostile certificate's names are shown whole and made visible: a name with no space in it
    // wraps inside the dialog instead of widening it past the screen, and a carriage return in it
    // shows as a character.
    void hostileNamesFit()
    {
        DialogRunner::install(nullptr);
        CertificateQuestion question = selfSigned();
        question.subject = QStringLiteral("CN=") + QString(600, u'x') + QStringLiteral("\rO=Evil");
        SeenCertificate seen;
        QTimer::singleShot(0, [&seen] { answerCertificate(seen, QStringLiteral("Cancel")); });
        MessageBoxPrompt prompt;
        QCOMPARE(prompt.trustCertificate(question), Prompt::Trust::Refuse);
        QVERIFY2(seen.width <= QGuiApplication::primaryScreen()->availableGeometry().width(),
                 qPrintable(QString::number(seen.width)));
        QVERIFY(seen.subject.fits);
        QVERIFY(seen.subject.lineLengths.size() > 1);
        QVERIFY(seen.subject.text.contains(QString(600, u'x')));
        QVERIFY(seen.subject.text.endsWith(QStringLiteral("O=Evil")));
        QVERIFY2(!seen.subject.text.contains(u'\r'), qPrintable(seen.subject.text));
    }

    // The whole way: a real server refuses the password, the box offers "Host Options…", and
    // choosing it opens the options sheet of that host once the connection has returned.
    void refusedLoginOpensHostOptions_data()
    {
        QTest::addColumn<QString>("press");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("Host Options…") << HostOptionsText << QStringList{"bad password"};
        QTest::newRow("OK") << "OK" << QStringList();
    }

    void refusedLoginOpensHostOptions()
    {
        QFETCH(QString, press);
        QFETCH(QStringList, opened);
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        MessageBoxPrompt prompt;
        ConnectionManager pool(prompt, status_);
        prompt.setPool(&pool);
        HostRecord r;
        r.name = QStringLiteral("bad password");
        r.address = server.host();
        r.port = QString::number(server.port());
        r.userName = QString::fromLatin1(FtpServerFixture::User);
        r.password = QStringLiteral("wrong");
        pool.defineHost(r);

        Seen seen;
        answerBox(seen, press);
        ListInfo::ListDirectory(pool, r.name, QStringLiteral("/"), nullptr, true, true);
        QTRY_VERIFY_WITH_TIMEOUT(seen.buttons.contains(HostOptionsText), Bound);
        if (opened.isEmpty()) {
            // Nothing was posted that could still open a sheet: the event loop runs once more.
            QCoreApplication::processEvents();
            QCOMPARE(sheets_.hosts, opened);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(sheets_.hosts, opened, Bound);
        }
        QCOMPARE(status_.last(), QStringLiteral("List of / on bad password failed"));
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
