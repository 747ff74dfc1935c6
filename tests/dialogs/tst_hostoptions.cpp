// The host options sheet on a real store: what each page reads, what OK and Apply write, the
// anonymous login box, renames, and the applies that are refused.

#include "support/RecordingPrompt.h"

#include "dialogs/CacheDetails.h"
#include "dialogs/HostDetails.h"
#include "dialogs/HostOptionsSheet.h"
#include "platform/SettingsStore.h"
#include "settings/AppValues.h"
#include "settings/PasswordCoding.h"
#include "settings/SettingsKeys.h"
#include "settings/StoreFixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QTabWidget>
#include <QTextEdit>
#include <QTest>

Q_DECLARE_METATYPE(Prompt::Icon)

namespace {

const QString kMail = QStringLiteral("me@example.org");
const QString kFingerprint = QStringLiteral("3F:A0:9C:11:D2:7E:45:B8:60:0C:AF:93:2D:E4:71:5A:"
                                            "C8:19:F6:02:8B:3D:E7:54:A1:6F:90:2C:BB:48:D5:07");
using Values = QMap<QString, QString>;

Values valuesOf(const QString &host)
{
    Values values;
    for (const SettingsValue &value : SettingsStore::instance().values(SettingsKeys::hostKey(host)))
        values.insert(value.name, value.text);
    return values;
}

void writeHost(const QString &host, const Values &values)
{
    QList<SettingsValue> list;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        list.append({it.key(), it.value()});
    QVERIFY(SettingsStore::instance().setValues(SettingsKeys::hostKey(host), list));
}

QString encoded(QString password)
{
    EncodePassword(password);
    return password;
}

} // namespace

class TestHostOptions : public QObject
{
    Q_OBJECT

    StoreFixture store_;
    RecordingPrompt prompt_;
    QStringList renames_;

    std::unique_ptr<HostOptionsSheet> openSheet(const QString &host)
    {
        auto sheet = std::make_unique<HostOptionsSheet>(nullptr, host, prompt_,
                                                        [this](const QString &from, const QString &to) {
                                                            renames_ << from + u'>' + to;
                                                        });
        return sheet;
    }
    template <typename Control = QLineEdit>
    static Control *control(const HostOptionsSheet &sheet, int id)
    {
        return sheet.findChild<Control *>(QStringLiteral("ctl%1").arg(id));
    }
    static void type(const HostOptionsSheet &sheet, int id, const QString &text)
    {
        QLineEdit *edit = control(sheet, id);
        edit->selectAll();
        edit->del();
        QTest::keyClicks(edit, text); // as typed: the page hears of it
    }
    // Picks a combo box item as a user does, from its open list, so that the page hears of it even
    // when the item was already shown.
    static void choose(const HostOptionsSheet &sheet, int id, int row)
    {
        auto *combo = control<QComboBox>(sheet, id);
        combo->showPopup();
        QAbstractItemView *list = combo->view();
        list->setCurrentIndex(list->model()->index(row, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!list->isVisible());
    }
    static bool applyEnabled(const HostOptionsSheet &sheet)
    {
        return control<QAbstractButton>(sheet, HostOptionsSheet::IdApply)->isEnabled();
    }

private slots:
    void init()
    {
        QVERIFY(store_.isValid());
        SettingsStore::instance().deleteKey(SettingsKeys::Root);
        QVERIFY(SetAppValue(QStringLiteral("EMail"), kMail));
        prompt_.clear();
        renames_.clear();
    }

    // A host with only an address and a folder: every default is shown, and OK writes them.
    void bareHostShowsAndWritesDefaults()
    {
        writeHost(QStringLiteral("bare"), {{"Address", "ftp.example.org"}, {"Parent", "0"}});
        auto sheet = openSheet(QStringLiteral("bare"));
        QCOMPARE(control(*sheet, HostDetails::IdName)->text(), QStringLiteral("bare"));
        QCOMPARE(control(*sheet, HostDetails::IdUser)->text(), QStringLiteral("anonymous"));
        QCOMPARE(control(*sheet, HostDetails::IdPassword)->text(), kMail);
        QCOMPARE(control(*sheet, HostDetails::IdPassword)->echoMode(), QLineEdit::Password);
        QVERIFY(control<QCheckBox>(*sheet, HostDetails::IdAnonymous)->isChecked());
        QVERIFY(!applyEnabled(*sheet)); // the host page found what it needs

        sheet->pages()->setCurrentIndex(1);
        QCOMPARE(control(*sheet, CacheDetails::IdPort)->text(), QStringLiteral("21"));
        QCOMPARE(control(*sheet, CacheDetails::IdStartPath)->text(), QStringLiteral("/"));
        QCOMPARE(control<QComboBox>(*sheet, CacheDetails::IdHostType)->currentText(), QStringLiteral("Auto Detect"));
        QCOMPARE(control<QComboBox>(*sheet, CacheDetails::IdDataMode)->currentText(), QStringLiteral("Program Default"));
        QCOMPARE(control<QComboBox>(*sheet, CacheDetails::IdEncryption)->currentText(), QStringLiteral("None (plain FTP)"));
        QCOMPARE(control<QTextEdit>(*sheet, CacheDetails::IdCertificate)->toPlainText(), QStringLiteral("None"));
        QVERIFY(!control<QAbstractButton>(*sheet, CacheDetails::IdForgetCertificate)->isEnabled());
        QVERIFY(control<QAbstractButton>(*sheet, CacheDetails::IdExpiresOnStartup)->isChecked());
        QCOMPARE(control(*sheet, CacheDetails::IdDays)->text(), QStringLiteral("0"));
        QCOMPARE(control(*sheet, CacheDetails::IdMinutes)->text(), QStringLiteral("0"));
        QVERIFY(applyEnabled(*sheet)); // the missing values count as changes

        sheet->accept();
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        QCOMPARE(valuesOf(QStringLiteral("bare")),
                 (Values{{"Address", "ftp.example.org"}, {"Parent", "0"}, {"CacheMins", "0"}, {"StartPath", "/"},
                         {"Port", "21"}, {"Type", "0"}, {"CacheDays", "0"}, {"CacheType", "1"}, {"DataMode", "0"},
                         {"Encryption", "0"}}));
        QVERIFY(prompt_.isEmpty());
    }

    // Only the pages that were shown are written.
    void unshownPageWritesNothing()
    {
        writeHost(QStringLiteral("h"), {{"Address", "old"}, {"Port", "2121"}});
        auto sheet = openSheet(QStringLiteral("h"));
        type(*sheet, HostDetails::IdAddress, QStringLiteral("new.example.org"));
        QVERIFY(applyEnabled(*sheet));
        sheet->accept();
        QCOMPARE(valuesOf(QStringLiteral("h")), (Values{{"Address", "new.example.org"}, {"Port", "2121"}}));
    }

    void anonymousBox()
    {
        // A stored anonymous login with another password than the e-mail address is no anonymous login.
        writeHost(QStringLiteral("h"), {{"Address", "a"}, {"Username", "anonymous"}, {"Password", encoded("secret")}});
        auto sheet = openSheet(QStringLiteral("h"));
        auto *box = control<QCheckBox>(*sheet, HostDetails::IdAnonymous);
        QVERIFY(!box->isChecked());
        QCOMPARE(control(*sheet, HostDetails::IdPassword)->text(), QStringLiteral("secret"));

        box->click();
        QVERIFY(box->isChecked());
        QCOMPARE(control(*sheet, HostDetails::IdPassword)->text(), kMail);
        box->click(); // a click on the checked box fills it in again and leaves it checked
        QVERIFY(box->isChecked());
        type(*sheet, HostDetails::IdUser, QStringLiteral("bob"));
        QVERIFY(!box->isChecked());
        box->click();
        QCOMPARE(control(*sheet, HostDetails::IdUser)->text(), QStringLiteral("anonymous"));

        // With the box checked the login values go, so that the readers' defaults apply.
        sheet->accept();
        QCOMPARE(valuesOf(QStringLiteral("h")), (Values{{"Address", "a"}}));
    }

    void explicitLoginIsStoredEncoded()
    {
        writeHost(QStringLiteral("h"), {{"Address", "a"}, {"Username", "anonymous"}, {"Password", encoded("secret")}});
        auto sheet = openSheet(QStringLiteral("h"));
        sheet->accept();
        QCOMPARE(valuesOf(QStringLiteral("h")),
                 (Values{{"Address", "a"}, {"Username", "anonymous"}, {"Password", encoded("secret")}}));
    }

    // One OK renames the key and writes the other page's values under the new name.
    void renameAndPortInOneApply()
    {
        writeHost(QStringLiteral("old"), {{"Address", "a"}, {"Parent", "0"}});
        auto sheet = openSheet(QStringLiteral("old"));
        type(*sheet, HostDetails::IdName, QStringLiteral("New Name"));
        sheet->pages()->setCurrentIndex(1);
        type(*sheet, CacheDetails::IdPort, QStringLiteral("2121"));
        sheet->accept();
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        QVERIFY(!SettingsStore::instance().keyExists(SettingsKeys::hostKey(QStringLiteral("old"))));
        QCOMPARE(valuesOf(QStringLiteral("New Name")).value(QStringLiteral("Port")), QStringLiteral("2121"));
        QCOMPARE(valuesOf(QStringLiteral("New Name")).value(QStringLiteral("Address")), QStringLiteral("a"));
        QCOMPARE(sheet->hostName(), QStringLiteral("New Name"));
        QCOMPARE(renames_, QStringList{"old>New Name"});
    }

    void refusedApplies_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Prompt::Icon>("icon");
        QTest::addColumn<int>("page");
        QTest::newRow("empty address") << "h" << "" << "" << "You must enter an Address" << Prompt::Icon::None << 0;
        QTest::newRow("empty address and name") << "" << "" << "" << "You must enter an Address" << Prompt::Icon::None
                                                << 0;
        QTest::newRow("empty name") << "" << "a" << "" << "Must Enter a Host Name" << Prompt::Icon::Stop << 0;
        QTest::newRow("a folder's name") << "Folder" << "a" << "" << "Host Name Is Not Unique" << Prompt::Icon::Stop
                                         << 0;
        QTest::newRow("another host's name, other case") << "OTHER" << "a" << ""
                                                         << "Host Name Is Not Unique" << Prompt::Icon::Stop << 0;
        QTest::newRow("backslash") << "a\\b" << "a" << "" << "backslash" << Prompt::Icon::Stop << 0;
        QTest::newRow("the local disks") << "my computer" << "a" << "" << "stands for the local disks"
                                         << Prompt::Icon::Stop << 0;
        QTest::newRow("address too long") << "h" << QString(200, u'a') << "" << "too long" << Prompt::Icon::Stop << 0;
        QTest::newRow("port out of range") << "h" << "a" << "70000" << "Port must be a number from 1 to 65535."
                                           << Prompt::Icon::Stop << 1;
        QTest::newRow("port zero") << "h" << "a" << "0" << "Port must be" << Prompt::Icon::Stop << 1;
    }

    // A refused apply keeps the sheet open on the page at fault and changes nothing.
    void refusedApplies()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, text);
        QFETCH(Prompt::Icon, icon);
        QFETCH(int, page);
        const Values stored{{"Address", "stored"}, {"Port", "21"}, {"Parent", "0"}};
        writeHost(QStringLiteral("h"), stored);
        writeHost(QStringLiteral("Folder"), {{"This", "1"}, {"Parent", "0"}});
        writeHost(QStringLiteral("other"), {{"Address", "o"}});
        auto sheet = openSheet(QStringLiteral("h"));
        type(*sheet, HostDetails::IdName, name);
        type(*sheet, HostDetails::IdAddress, address);
        sheet->pages()->setCurrentIndex(1);
        if (!port.isEmpty())
            type(*sheet, CacheDetails::IdPort, port);
        sheet->pages()->setCurrentIndex(1 - page);

        sheet->accept();
        QCOMPARE(sheet->result(), int(QDialog::Rejected));
        QCOMPARE(prompt_.count(), 1);
        QVERIFY2(prompt_.lastText().contains(text), qPrintable(prompt_.dump()));
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error"));
        QCOMPARE(prompt_.entries().last().icon, icon);
        QCOMPARE(sheet->pages()->currentIndex(), page);
        QCOMPARE(sheet->hostName(), QStringLiteral("h"));
        if (page == 0)
            QCOMPARE(valuesOf(QStringLiteral("h")), stored);
        QVERIFY(renames_.isEmpty());
    }

    void cachePolicy_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("shown");
        QTest::newRow("no caching") << "0" << int(CacheDetails::IdNoCaching);
        QTest::newRow("start-up") << "1" << int(CacheDetails::IdExpiresOnStartup);
        QTest::newRow("never") << "2" << int(CacheDetails::IdNeverExpires);
        QTest::newRow("period") << "3" << int(CacheDetails::IdExpiresAfterPeriod);
        QTest::newRow("anything else is a period") << "7" << int(CacheDetails::IdExpiresAfterPeriod);
    }

    void cachePolicy()
    {
        QFETCH(QString, stored);
        QFETCH(int, shown);
        writeHost(QStringLiteral("h"), {{"Address", "a"}, {"CacheType", stored}, {"CacheDays", "2"}, {"CacheMins", "30"},
                                        {"Port", "21"}, {"StartPath", "/"}, {"Type", "0"}});
        auto sheet = openSheet(QStringLiteral("h"));
        sheet->pages()->setCurrentIndex(1);
        QVERIFY(control<QAbstractButton>(*sheet, shown)->isChecked());
        QVERIFY(!applyEnabled(*sheet));
        control<QAbstractButton>(*sheet, CacheDetails::IdNeverExpires)->click();
        QVERIFY(applyEnabled(*sheet));
        QVERIFY(sheet->apply());
        QVERIFY(!applyEnabled(*sheet));
        QCOMPARE(valuesOf(QStringLiteral("h")).value(QStringLiteral("CacheType")), QStringLiteral("2"));
        QCOMPARE(valuesOf(QStringLiteral("h")).value(QStringLiteral("CacheDays")), QStringLiteral("2"));
    }

    // A type stored by the command line (or detected once) is shown and kept; one beyond the list
    // shows as Auto Detect.
    void hostType_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("written");
        QTest::newRow("auto") << "0" << "Auto Detect" << "0";
        QTest::newRow("UNIX") << "1" << "UNIX" << "1";
        QTest::newRow("Windows") << "3" << "Windows" << "3";
        QTest::newRow("beyond the list") << "9" << "Auto Detect" << "0";
    }

    void hostType()
    {
        QFETCH(QString, stored);
        writeHost(QStringLiteral("h"), {{"Address", "a"}, {"Type", stored}});
        auto sheet = openSheet(QStringLiteral("h"));
        sheet->pages()->setCurrentIndex(1);
        QTEST(control<QComboBox>(*sheet, CacheDetails::IdHostType)->currentText(), "shown");
        sheet->accept();
        QTEST(valuesOf(QStringLiteral("h")).value(QStringLiteral("Type")), "written");
    }

    // The host's data connection and encryption: what is stored is shown, and OK writes what is
    // shown. A stored value that is none of the choices shows as what the connections make of it
    // and stays as it is until the user picks a choice (even the one shown): it may come from a
    // newer version.
    void storedChoices_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored"); // "<none>": no value
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("chosen"); // -1: nothing picked
        QTest::addColumn<QString>("written");
        const auto row = [](const char *name, const char *tag) -> QTestData & {
            return QTest::addRow("%s: %s", name, tag) << QString::fromLatin1(name);
        };
        row("DataMode", "missing") << "<none>" << "Program Default" << -1 << "0";
        row("DataMode", "0") << "0" << "Program Default" << -1 << "0";
        row("DataMode", "1") << "1" << "Active (PORT)" << -1 << "1";
        row("DataMode", "2") << "2" << "Passive (PASV)" << -1 << "2";
        row("DataMode", "missing, active picked") << "<none>" << "Program Default" << 1 << "1";
        row("DataMode", "active, passive picked") << "1" << "Active (PORT)" << 2 << "2";
        row("DataMode", "passive, the default picked") << "2" << "Passive (PASV)" << 0 << "0";
        row("DataMode", "beyond the list, kept") << "7" << "Program Default" << -1 << "7";
        row("DataMode", "negative, kept") << "-1" << "Program Default" << -1 << "-1";
        row("DataMode", "a word, kept") << "passive" << "Program Default" << -1 << "passive";
        row("DataMode", "a number and more, shown as the number, kept") << "2 (PASV)" << "Passive (PASV)" << -1
                                                                         << "2 (PASV)";
        row("DataMode", "beyond the list, the shown default picked") << "7" << "Program Default" << 0 << "0";
        row("DataMode", "beyond the list, active picked") << "9" << "Program Default" << 1 << "1";
        row("DataMode", "a number and more, the shown one picked") << "2 (PASV)" << "Passive (PASV)" << 2 << "2";

        const QStringList encryption{"None (plain FTP)", "TLS when the host offers it",
                                     "Require TLS (explicit, AUTH TLS)", "Implicit TLS (port 990)"};
        // An existing host without the value is plain FTP, as the connections read it.
        row("Encryption", "missing") << "<none>" << encryption[0] << -1 << "0";
        for (int stored = 0; stored < 4; ++stored) {
            const QString number = QString::number(stored);
            QTest::addRow("Encryption: %d", stored) << "Encryption" << number << encryption[stored] << -1 << number;
            for (const int chosen : {stored, (stored + 1) % 4}) {
                QTest::addRow("Encryption: %d, %d picked", stored, chosen)
                    << "Encryption" << number << encryption[stored] << chosen << QString::number(chosen);
            }
        }
        row("Encryption", "missing, implicit picked") << "<none>" << encryption[0] << 3 << "3";
        row("Encryption", "beyond the list, kept") << "4" << encryption[0] << -1 << "4";
        row("Encryption", "a word, kept") << "tls" << encryption[0] << -1 << "tls";
        row("Encryption", "a number and more, shown as the number, kept") << "2 (explicit)" << encryption[2] << -1
                                                                           << "2 (explicit)";
        row("Encryption", "beyond the list, the shown one picked") << "9" << encryption[0] << 0 << "0";
        row("Encryption", "beyond the list, required picked") << "9" << encryption[0] << 2 << "2";
    }

    void storedChoices()
    {
        QFETCH(QString, name);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(int, chosen);
        QFETCH(QString, written);
        Values values{{"Address", "a"}, {"CacheType", "1"}, {"CacheDays", "0"}, {"CacheMins", "0"}, {"Port", "21"},
                      {"StartPath", "/"}, {"Type", "0"}, {"DataMode", "0"}, {"Encryption", "0"}};
        values.remove(name);
        if (stored != QLatin1String("<none>"))
            values.insert(name, stored);
        writeHost(QStringLiteral("h"), values);
        auto sheet = openSheet(QStringLiteral("h"));
        sheet->show();
        QVERIFY(QTest::qWaitForWindowExposed(sheet.get()));
        sheet->pages()->setCurrentIndex(1);
        const int id = name == QLatin1String("DataMode") ? CacheDetails::IdDataMode : CacheDetails::IdEncryption;
        auto *combo = control<QComboBox>(*sheet, id);
        QCOMPARE(combo->currentText(), shown);
        QVERIFY(!applyEnabled(*sheet)); // an old host without the value has nothing to fill in
        if (chosen >= 0) {
            choose(*sheet, id, chosen);
            QCOMPARE(combo->currentIndex(), chosen);
            QVERIFY(applyEnabled(*sheet));
        }
        // Written with the page's other values, by the same OK.
        type(*sheet, CacheDetails::IdPort, QStringLiteral("2121"));
        sheet->accept();
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        values.insert(QStringLiteral("Port"), QStringLiteral("2121"));
        values.insert(name, written);
        QCOMPARE(valuesOf(QStringLiteral("h")), values);
        QVERIFY(prompt_.isEmpty());
    }

    // A host without a port connects to 990 with implicit TLS, 21 otherwise: the page shows and
    // writes that port. A port the user gave is never rewritten, whatever the encryption.
    void portFollowsStoredEncryption_data()
    {
        QTest::addColumn<QString>("encryption");
        QTest::addColumn<QString>("port"); // "<none>": no Port value
        QTest::addColumn<QString>("shown");
        QTest::newRow("implicit, no port") << "3" << "<none>" << "990";
        QTest::newRow("explicit, no port") << "2" << "<none>" << "21";
        QTest::newRow("implicit on 21") << "3" << "21" << "21";
        QTest::newRow("implicit on 2990") << "3" << "2990" << "2990";
    }

    void portFollowsStoredEncryption()
    {
        QFETCH(QString, encryption);
        QFETCH(QString, port);
        QFETCH(QString, shown);
        Values values{{"Address", "a"}, {"Encryption", encryption}};
        if (port != QLatin1String("<none>"))
            values.insert(QStringLiteral("Port"), port);
        writeHost(QStringLiteral("h"), values);
        auto sheet = openSheet(QStringLiteral("h"));
        sheet->pages()->setCurrentIndex(1);
        QCOMPARE(control(*sheet, CacheDetails::IdPort)->text(), shown);
        choose(*sheet, CacheDetails::IdEncryption, 3); // the user's business: the port stays
        QCOMPARE(control(*sheet, CacheDetails::IdPort)->text(), shown);
        sheet->accept();
        QCOMPARE(valuesOf(QStringLiteral("h")).value(QStringLiteral("Port")), shown);
        QCOMPARE(valuesOf(QStringLiteral("h")).value(QStringLiteral("Encryption")), QStringLiteral("3"));
    }

    // The trusted certificate shows in full; Forget removes it when the page is applied (Cancel
    // keeps it), and touches no other value.
    void forgetCertificate_data()
    {
        QTest::addColumn<bool>("applied");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    void forgetCertificate()
    {
        QFETCH(bool, applied);
        const Values stored{{"Address", "a"}, {"Port", "2121"}, {"Encryption", "2"}, {"CertSha256", kFingerprint},
                            {"CacheType", "1"}, {"CacheDays", "0"}, {"CacheMins", "0"}, {"StartPath", "/"},
                            {"Type", "0"}, {"DataMode", "0"}};
        writeHost(QStringLiteral("h"), stored);
        auto sheet = openSheet(QStringLiteral("h"));
        sheet->pages()->setCurrentIndex(1);
        auto *shown = control<QTextEdit>(*sheet, CacheDetails::IdCertificate);
        QCOMPARE(shown->toPlainText(), kFingerprint);
        QVERIFY(shown->isReadOnly());
        QVERIFY(shown->textInteractionFlags() & Qt::TextSelectableByMouse);
        QVERIFY(!applyEnabled(*sheet));

        auto *forget = control<QAbstractButton>(*sheet, CacheDetails::IdForgetCertificate);
        forget->click();
        QCOMPARE(shown->toPlainText(), QStringLiteral("None"));
        QVERIFY(!forget->isEnabled());
        QVERIFY(applyEnabled(*sheet));
        QCOMPARE(valuesOf(QStringLiteral("h")), stored); // not before the page is applied

        if (!applied) {
            sheet->reject();
            QCOMPARE(valuesOf(QStringLiteral("h")), stored);
            return;
        }
        QVERIFY(sheet->apply());
        Values expected = stored;
        expected.remove(QStringLiteral("CertSha256"));
        QCOMPARE(valuesOf(QStringLiteral("h")), expected);

        // A certificate trusted "always" while the sheet stays open is not forgotten by its next OK.
        QVERIFY(SettingsStore::instance().setValue(SettingsKeys::hostKey(QStringLiteral("h")),
                                                   QStringLiteral("CertSha256"), kFingerprint));
        sheet->accept();
        QCOMPARE(valuesOf(QStringLiteral("h")), stored);
    }

    // Apply writes at once; a later Cancel keeps what was applied and writes nothing more.
    void cancelAfterApply()
    {
        writeHost(QStringLiteral("h"), {{"Address", "a"}});
        auto sheet = openSheet(QStringLiteral("h"));
        type(*sheet, HostDetails::IdAddress, QStringLiteral("applied"));
        QVERIFY(sheet->apply());
        type(*sheet, HostDetails::IdAddress, QStringLiteral("cancelled"));
        sheet->reject();
        QCOMPARE(valuesOf(QStringLiteral("h")).value(QStringLiteral("Address")), QStringLiteral("applied"));
    }

    // A key that is gone (a new host whose key is not written yet is another case) shows the
    // anonymous login and nothing else.
    void missingKey()
    {
        auto sheet = openSheet(QStringLiteral("ghost"));
        QCOMPARE(control(*sheet, HostDetails::IdUser)->text(), QStringLiteral("anonymous"));
        QCOMPARE(control(*sheet, HostDetails::IdPassword)->text(), kMail);
        QVERIFY(applyEnabled(*sheet));
        sheet->pages()->setCurrentIndex(1);
        QVERIFY(control(*sheet, CacheDetails::IdPort)->text().isEmpty());
        type(*sheet, HostDetails::IdAddress, QStringLiteral("a"));
        sheet->accept();
        QVERIFY(prompt_.contains(QStringLiteral("Host Options"), QStringLiteral("was removed")));
        QVERIFY(!SettingsStore::instance().keyExists(SettingsKeys::hostKey(QStringLiteral("ghost"))));
    }
};

QTEST_MAIN(TestHostOptions)
#include "tst_hostoptions.moc"
