// vemalftp-cli over every way of opening data connections: passive (EPSV, PASV) and active (EPRT,
// PORT), IPv4 and IPv6, hosts that refuse one of the modes, machine listings (MLSD) and "ls -l"
// ones. Each row uploads into a new folder, lists it, downloads, resumes a download and deletes,
// against a real server (pyftpdlib, or vsftpd that allows passive mode only), and checks every
// byte and the commands that went out.

#include "CliRun.h"
#include "support/FtpServerFixture.h"
#include "support/TestEnvironment.h"
#include "support/VsftpdFixture.h"

#include <QTemporaryDir>

#include <memory>
#include <variant>

namespace {

enum class Server { Pyftpdlib, PyftpdlibV6, PyftpdlibNoPassive, PyftpdlibNoMlst, Vsftpd };

// The server of one row, started; its root folder serves the row's files.
class RowServer
{
public:
    explicit RowServer(Server kind)
    {
        if (kind == Server::Vsftpd) {
            server_ = std::make_unique<VsftpdFixture>();
            return;
        }
        FtpServerFixture::Options options;
        options.listenAddress = kind == Server::PyftpdlibV6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1");
        options.refusePassive = kind == Server::PyftpdlibNoPassive;
        options.refuseMlst = kind == Server::PyftpdlibNoMlst;
        server_ = std::make_unique<FtpServerFixture>(options);
    }

    bool start() { return std::visit([](auto &s) { return s->start(); }, server_); }
    QString errorString() const { return std::visit([](auto &s) { return s->errorString(); }, server_); }
    QString url() const { return std::visit([](auto &s) { return s->url(); }, server_); }
    bool writeFile(const QString &path, const QByteArray &bytes) const
    {
        return std::visit([&](auto &s) { return s->writeFile(path, bytes); }, server_);
    }
    bool makeDir(const QString &path) const { return std::visit([&](auto &s) { return s->makeDir(path); }, server_); }
    QByteArray readFile(const QString &path) const
    {
        return std::visit([&](auto &s) { return s->readFile(path); }, server_);
    }
    bool exists(const QString &path) const { return std::visit([&](auto &s) { return s->exists(path); }, server_); }

private:
    std::variant<std::unique_ptr<FtpServerFixture>, std::unique_ptr<VsftpdFixture>> server_;
};

// The commands of a -v run, from its "Sent > " lines.
QStringList sent(const CliResult &result)
{
    QStringList commands;
    for (const QString &line : result.err.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Sent > ")))
            commands << line.mid(7);
    return commands;
}

int countVerb(const QStringList &commands, const QString &verb)
{
    int n = 0;
    for (const QString &command : commands)
        n += command == verb || command.startsWith(verb + QLatin1Char(' ')) ? 1 : 0;
    return n;
}

} // namespace

class TestCliDataModes : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }

    void everyOperation_data()
    {
        QTest::addColumn<int>("server");
        QTest::addColumn<QString>("mode");     // the option given, or none
        QTest::addColumn<QString>("dataVerb"); // every data connection is asked for so
        QTest::addColumn<QString>("listVerb");
        QTest::addColumn<bool>("fellBack");    // the status line says passive mode was refused

        const int py = int(Server::Pyftpdlib);
        QTest::newRow("pyftpdlib, the default (passive)") << py << "" << "EPSV" << "MLSD" << false;
        QTest::newRow("pyftpdlib, --active") << py << "--active" << "EPRT" << "MLSD" << false;
        QTest::newRow("pyftpdlib without MLST, LIST") << int(Server::PyftpdlibNoMlst) << "--passive" << "EPSV"
                                                      << "LIST" << false;
        QTest::newRow("pyftpdlib on ::1, passive") << int(Server::PyftpdlibV6) << "--passive" << "EPSV" << "MLSD"
                                                   << false;
        QTest::newRow("pyftpdlib on ::1, active") << int(Server::PyftpdlibV6) << "--active" << "EPRT" << "MLSD"
                                                  << false;
        QTest::newRow("pyftpdlib refusing passive mode: active from then on")
            << int(Server::PyftpdlibNoPassive) << "--passive" << "EPRT" << "MLSD" << true;
        QTest::newRow("vsftpd, passive only") << int(Server::Vsftpd) << "" << "EPSV" << "LIST" << false;
    }

    void everyOperation()
    {
        QFETCH(int, server);
        QFETCH(QString, mode);
        QFETCH(QString, dataVerb);
        QFETCH(QString, listVerb);
        QFETCH(bool, fellBack);

        if (server == int(Server::PyftpdlibV6)) {
            if (const QString why = FtpServerFixture::loopbackProblem(QStringLiteral("::1")); !why.isEmpty())
                QSKIP(qPrintable(why));
        }
        RowServer host(static_cast<Server>(server));
        QVERIFY2(host.start(), qPrintable(host.errorString()));
        QVERIFY(host.makeDir(QStringLiteral("drop")));
        const QByteArray big = randomBytes(2 * 1024 * 1024 + 3);
        QVERIFY(host.writeFile(QStringLiteral("pub/big.bin"), big));

        QTemporaryDir local;
        QVERIFY(writeLocal(local.filePath(QStringLiteral("up/sent.bin")), big));
        QStringList options{QStringLiteral("-v")};
        if (!mode.isEmpty())
            options << mode;
        QStringList commands;
        QList<QStringList> runs; // the commands of each run
        QString statuses;
        const auto run = [&](const QStringList &args) {
            const QStringList all = options + QStringList{host.url()} + args;
            const CliResult result = runCli(all);
            runs << sent(result);
            commands += runs.last();
            statuses += result.err;
            return result.exitCode == 0 ? QByteArray() : describe(all, result);
        };

        QByteArray failure;
        failure = run({QStringLiteral("put"), local.filePath(QStringLiteral("up/sent.bin")), QStringLiteral("/drop/new")});
        QVERIFY2(failure.isEmpty(), failure.constData());
        QCOMPARE(host.readFile(QStringLiteral("drop/new/sent.bin")), big);

        const QStringList listArgs = options + QStringList{host.url(), QStringLiteral("ls"), QStringLiteral("/drop/new")};
        const CliResult listing = runCli(listArgs);
        QVERIFY2(listing.exitCode == 0, describe(listArgs, listing).constData());
        runs << sent(listing);
        commands += runs.last();
        statuses += listing.err;
        QVERIFY2(listing.out.contains(QStringLiteral("file\t%1\t").arg(big.size())), qPrintable(listing.out));
        QVERIFY2(listing.out.endsWith(QLatin1String("\tsent.bin\n")), qPrintable(listing.out));

        failure = run({QStringLiteral("get"), QStringLiteral("/pub/big.bin"), local.filePath(QStringLiteral("down"))});
        QVERIFY2(failure.isEmpty(), failure.constData());
        QCOMPARE(readLocal(local.filePath(QStringLiteral("down/big.bin"))), big);

        QVERIFY(writeLocal(local.filePath(QStringLiteral("part/big.bin")), big.left(big.size() / 3)));
        failure = run({QStringLiteral("get"), QStringLiteral("--resume"), QStringLiteral("/pub/big.bin"),
                       local.filePath(QStringLiteral("part"))});
        QVERIFY2(failure.isEmpty(), failure.constData());
        QCOMPARE(readLocal(local.filePath(QStringLiteral("part/big.bin"))), big);
        QVERIFY2(countVerb(commands, QStringLiteral("REST")) == 1, qPrintable(commands.join('\n')));

        failure = run({QStringLiteral("rm"), QStringLiteral("/drop/new/sent.bin")});
        QVERIFY2(failure.isEmpty(), failure.constData());
        QVERIFY(!host.exists(QStringLiteral("drop/new/sent.bin")));

        // Every data connection was asked for the expected way. A host that refused passive mode
        // was asked with EPSV and PASV once in a run, and never again in it.
        const auto count = [](const QStringList &list, const QStringList &verbs) {
            int n = 0;
            for (const QString &verb : verbs)
                n += countVerb(list, verb);
            return n;
        };
        const QStringList moving{QStringLiteral("RETR"), QStringLiteral("STOR"), QStringLiteral("LIST"),
                                 QStringLiteral("MLSD")};
        QVERIFY2(countVerb(commands, dataVerb) == count(commands, moving), qPrintable(commands.join('\n')));
        for (const QStringList &one : std::as_const(runs)) {
            const bool moved = count(one, moving) > 0;
            for (const QString &verb : {QStringLiteral("PORT"), QStringLiteral("EPRT"), QStringLiteral("PASV"),
                                        QStringLiteral("EPSV")}) {
                if (verb == dataVerb)
                    continue;
                const bool refusedOnce = fellBack && moved && (verb == QLatin1String("EPSV") || verb == QLatin1String("PASV"));
                QVERIFY2(countVerb(one, verb) == (refusedOnce ? 1 : 0), qPrintable(verb + ":\n" + one.join('\n')));
            }
        }
        QVERIFY2(countVerb(commands, listVerb) > 0, qPrintable(commands.join('\n')));
        QCOMPARE(statuses.contains(QLatin1String("refused passive mode; active mode is used from now on")), fellBack);
    }

    // vsftpd here takes no PORT or EPRT: a run told to use active mode says why it failed.
    void activeModeRefused()
    {
        VsftpdFixture host;
        QVERIFY2(host.start(), qPrintable(host.errorString()));
        QVERIFY(host.writeFile(QStringLiteral("pub/a.txt"), "a"));
        QTemporaryDir local;
        const QStringList args{QStringLiteral("--active"), host.url(), QStringLiteral("get"),
                               QStringLiteral("/pub/a.txt"), local.path()};
        const CliResult result = runCli(args);
        QVERIFY2(result.exitCode != 0, describe(args, result).constData());
        QVERIFY2(result.err.contains(QLatin1String("Error Setting Port")), describe(args, result).constData());
        QVERIFY(!QFileInfo::exists(local.filePath(QStringLiteral("a.txt"))));
    }
};

QTEST_GUILESS_MAIN(TestCliDataModes)
#include "tst_clidatamodes.moc"
