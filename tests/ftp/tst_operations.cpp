// The command sequences of the operations on a host, checked against the scripted server's
// transcript: file batches with the destination-directory walk, restart, skip, delete, rename,
// create directory, host to host, and the failure at each step.

#include "EngineTest.h"
#include "ScriptedSteps.h"

#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"

#include "ftp/Connection.h"
#include "pool/ConnectionManager.h"
#include "pool/DeleteList.h"
#include "pool/HostToHostTransfer.h"
#include "pool/OperationRecord.h"
#include "pool/TransferStack.h"
#include "pool/TransferStackLine.h"

#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int Bound = 10000; // ms: the longest any event below may take
}

class TestOperations : public EngineTest
{
    Q_OBJECT

    // A stack of lines in which "%L" stands for the local folder; the pool owns it.
    TransferStack *stackOf(const QStringList &lines)
    {
        auto *stack = new TransferStack(pool_.get());
        for (const QString &line : lines)
            stack->addEntry(QString(line).replace(QLatin1String("%L"), local_->path()));
        return stack;
    }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void init() { QVERIFY(setUpEngine(1)); } // the scripts use PORT

    void cleanup() { tearDownEngine(); }

    // --- files -------------------------------------------------------------------------------

    void fileSequence_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("storeUnique");
        QTest::addColumn<QStringList>("script");

        QTest::newRow("store into /a/b/c where only /a exists")
            << "/a/b/c/f.txt <- %L/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK",           "CWD /a/b/c => 550 No such directory",
                           "CWD /a/b => 550 No such directory", "CWD /a => 250 OK",
                           "CWD /a => 250 OK",         "MKD b => 257 \"/a/b\" created",
                           "CWD /a/b => 250 OK",       "MKD c => 257 \"/a/b/c\" created",
                           "TYPE I => 200 OK",         "CWD /a/b/c => 250 OK",
                           "STOR f.txt => 150 Opening => 226 Stored"};
        QTest::newRow("store into a folder missing right under the root")
            << "/x/f.txt <- %L/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK",   "CWD /x => 550 No such directory", "CWD / => 250 OK",
                           "CWD / => 250 OK",  "MKD x => 257 Created",           "TYPE I => 200 OK",
                           "CWD /x => 250 OK", "STOR f.txt => 150 Opening => 226 Stored"};
        QTest::newRow("store into an existing folder")
            << "/a/b/f.txt <- %L/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK", "CWD /a/b => 250 OK", "TYPE I => 200 OK", "CWD /a/b => 250 OK",
                           "STOR f.txt => 150 Opening => 226 Stored"};
        QTest::newRow("a root file needs no check but still enters the root")
            << "/f.txt <- %L/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK",
                           "STOR f.txt => 150 Opening => 226 Stored"};
        QTest::newRow("store-unique option sends STOU")
            << "/pub/f.txt <- %L/f.txt (70000)" << true
            << QStringList{"PORT => 200 OK", "CWD /pub => 250 OK", "TYPE I => 200 OK", "CWD /pub => 250 OK",
                           "STOU f.txt => 150 FILE: f.txt.1 => 226 Stored"};
        QTest::newRow("125 starts an upload like 150")
            << "/f.txt <- %L/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK",
                           "STOR f.txt => 125 Data connection already open => 226 Stored"};
        QTest::newRow("retrieve from the root")
            << "/f.txt -> %L/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK",
                           "RETR f.txt => 150 Opening => 226 Sent"};
        QTest::newRow("retrieve checks its folder too, into missing local folders")
            << "/pub/f.txt -> %L/new/deeper/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK", "CWD /pub => 250 OK", "TYPE I => 200 OK", "CWD /pub => 250 OK",
                           "RETR f.txt => 150 Opening => 226 Sent"};
        QTest::newRow("125 starts a download like 150")
            << "/f.txt -> %L/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK",
                           "RETR f.txt => 125 Data connection already open => 226 Sent"};
        QTest::newRow("250 ends a file like 226")
            << "/f.txt -> %L/f.txt (70000)" << false
            << QStringList{"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK",
                           "RETR f.txt => 150 Opening => 250 Done"};
        QTest::newRow("ASCII line sends TYPE A")
            << "/pub/r.txt -> %L/r.txt (70000) ASCII" << false
            << QStringList{"PORT => 200 OK", "CWD /pub => 250 OK", "TYPE A => 200 OK", "CWD /pub => 250 OK",
                           "RETR r.txt => 150 Opening => 226 Sent"};
    }

    void fileSequence()
    {
        QFETCH(QString, line);
        QFETCH(bool, storeUnique);
        QFETCH(QStringList, script);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        pool_->setStoreUnique(storeUnique);

        const TransferStackLine entry = *TransferStackLine::parse(QString(line).replace("%L", local_->path()));
        const QByteArray upload = patternBytes(70000, 7);
        if (!entry.download)
            QVERIFY(writeLocal(entry.localPath, upload));
        addScript(server, script);

        StatusTrail trail;
        TransferStack *stack = stackOf({line});
        trail.follow(*stack);
        QSignalSpy ended(stack, &TransferStack::ended);
        c->TransferFiles(stack);

        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(afterLogin(server), commandsOf(script));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QCOMPARE(stack->filesCompleted(), 1);
        QCOMPARE(stack->filesFailed(), 0);
        // The record follows the steps in order (byte counts may come in between).
        const QStringList steps{"Setting Port", "Checking For Destination Directory",
                                entry.ascii ? "Setting Type ASCII" : "Setting Type Binary", "Sending File Request",
                                "Transferring File"};
        qsizetype at = 0;
        for (const QString &text : std::as_const(trail.texts))
            if (at < steps.size() && text == steps.at(at))
                ++at;
        QVERIFY2(at == steps.size(), qPrintable(trail.texts.join('|')));
        if (entry.download)
            QCOMPARE(readLocal(entry.localPath), contentOf(entry.fileName()));
        else
            QCOMPARE(server.receivedData(), upload);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
    }

    // A failure at any step fails that file with its box, and the batch goes on with the next.
    void fileStepFailures_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("status"); // a status the stack must have shown; empty: none in particular
        QTest::addColumn<bool>("partialKept");

        const QString get = QStringLiteral("/f.txt -> %L/f.txt (70000)");
        const QString put = QStringLiteral("/d/f.txt <- %L/up.txt (70000)");
        const QStringList ready{"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK"};

        QTest::newRow("PORT refused") << get << QStringList{"PORT => 501 Illegal PORT command"}
                                      << "Error Setting Port: Illegal PORT command" + ActiveRefusedHint << ""
                                      << false;
        QTest::newRow("TYPE refused") << get << QStringList{"PORT => 200 OK", "TYPE I => 504 Not supported"}
                                      << "Error Setting Transfer Type: Not supported" << "" << false;
        QTest::newRow("file CWD refused")
            << get << QStringList{"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 550 Denied"}
            << "Error Changing Directory: Denied" << "" << false;
        QTest::newRow("RETR refused") << get << ready + QStringList{"RETR f.txt => 550 No such file"}
                                      << "Error Transferring File: No such file" << "Could Not Transfer File" << false;
        QTest::newRow("STOR refused with 553")
            << put
            << QStringList{"PORT => 200 OK", "CWD /d => 250 OK", "TYPE I => 200 OK", "CWD /d => 250 OK",
                           "STOR f.txt => 553 Not allowed"}
            << "Error Transferring File: Not allowed" << "Permission Denied" << false;
        QTest::newRow("MKD refused in the walk")
            << put
            << QStringList{"PORT => 200 OK", "CWD /d => 550 No such directory", "CWD / => 250 OK",
                           "CWD / => 250 OK", "MKD d => 550 Permission denied"}
            << "Error Creating Directory: Permission denied" << "" << false;
        QTest::newRow("CWD before MKD refused")
            << put
            << QStringList{"PORT => 200 OK", "CWD /d => 550 No such directory", "CWD / => 250 OK",
                           "CWD / => 550 Gone"}
            << "Error Creating Directory: Couldn't Change Directory" << "" << false;
        QTest::newRow("not even the root can be entered")
            << put << QStringList{"PORT => 200 OK", "CWD /d => 550 No such directory", "CWD / => 550 Root denied"}
            << "Error Changing Directory: Root denied" << "" << false;
        QTest::newRow("426 after the data")
            << get << ready + QStringList{"RETR f.txt => 150 Opening => 426 Connection closed; transfer aborted"}
            << "Error Transferring File: Connection closed; transfer aborted" << "Could Not Transfer File" << true;
        QTest::newRow("451 after the data")
            << get << ready + QStringList{"RETR f.txt => 150 Opening => 451 Local error in processing"}
            << "Error Transferring File: Local error in processing" << "Could Not Transfer File" << true;
        QTest::newRow("226 without a data connection")
            << get << ready + QStringList{"RETR f.txt => 150 Opening\r\n226 Transfer complete"}
            << "Error Transferring File: The host reported the file as sent, but never opened a data connection."
            << "Could Not Transfer File" << false;
        QTest::newRow("552 after an upload")
            << put
            << QStringList{"PORT => 200 OK", "CWD /d => 250 OK", "TYPE I => 200 OK", "CWD /d => 250 OK",
                           "STOR f.txt => 150 Opening => 552 Quota exceeded"}
            << "Error Transferring File: Quota exceeded" << "Could Not Transfer File" << false;
    }

    void fileStepFailures()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, script);
        QFETCH(QString, box);
        QFETCH(QString, status);
        QFETCH(bool, partialKept);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        QVERIFY(writeLocal(localPath("up.txt"), patternBytes(70000, 3)));
        const QStringList next{"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK",
                               "RETR g.txt => 150 Opening => 226 Sent"};
        addScript(server, script + next);

        StatusTrail trail;
        TransferStack *stack = stackOf({line, "/g.txt -> %L/g.txt (70000)"});
        trail.follow(*stack);
        QSignalSpy ended(stack, &TransferStack::ended);
        c->TransferFiles(stack);

        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(afterLogin(server), commandsOf(script + next));
        QCOMPARE(prompt_.dump().trimmed(), box);
        if (!status.isEmpty())
            QVERIFY2(trail.texts.contains(status), qPrintable(trail.texts.join('|')));
        QCOMPARE(stack->filesFailed(), 1);
        QCOMPARE(stack->filesCompleted(), 1);
        QCOMPARE(stack->failures().size(), 1);
        QVERIFY(stack->failures().first().startsWith(TransferStackLine::parse(line)->remotePath + ": "));
        QCOMPARE(readLocal(localPath("g.txt")), contentOf("g.txt"));
        // A download that failed after its data keeps what arrived, for a later resume.
        QCOMPARE(QFile::exists(localPath("f.txt")), partialKept);
        if (partialKept)
            QCOMPARE(readLocal(localPath("f.txt")), contentOf("f.txt"));
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
    }

    // The host may connect as soon as it has the PORT (as pyftpdlib does) or only after RETR;
    // either way a refused REST rewrites the local file from its start.
    void restart_data()
    {
        QTest::addColumn<QString>("restReply");
        QTest::addColumn<bool>("connectAtPort");
        QTest::addColumn<bool>("refused");

        QTest::newRow("REST refused, data after RETR") << "502 REST not implemented" << false << true;
        QTest::newRow("REST refused, data connected at PORT") << "502 REST not implemented" << true << true;
        QTest::newRow("REST accepted, data after RETR") << "350 Restarting at 6" << false << false;
        QTest::newRow("REST accepted, data connected at PORT") << "350 Restarting at 6" << true << false;
    }

    void restart()
    {
        QFETCH(QString, restReply);
        QFETCH(bool, connectAtPort);
        QFETCH(bool, refused);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        const QByteArray old = "OLDOLD";
        QVERIFY(writeLocal(localPath("f.txt"), old));
        const QByteArray sent = contentOf("f.txt");

        ScriptedFtpServer::Step &port = server.expectRegex(PortPattern, "200 OK\r\n");
        if (connectAtPort)
            port.sendData(sent, "226 Sent\r\n").holdDataOpen();
        addScript(server, {"TYPE I => 200 OK", "CWD / => 250 OK", "REST 6 => " + restReply});
        if (connectAtPort)
            server.expect("RETR f.txt", "150 Opening\r\n");
        else
            server.expect("RETR f.txt", "150 Opening\r\n").sendData(sent, "226 Sent\r\n");

        TransferStack *stack = stackOf({"/f.txt -> %L/f.txt (70000 -R 6)"});
        QSignalSpy ended(stack, &TransferStack::ended);
        c->TransferFiles(stack);
        if (connectAtPort) {
            QTRY_VERIFY_WITH_TIMEOUT(server.transcript().contains("RETR f.txt"), Bound);
            server.closeData();
        }

        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(stack->filesCompleted(), 1);
        if (refused) {
            QCOMPARE(prompt_.dump(), QStringLiteral("Restart Error: Host Disallowed Restart, \nStarting From Beginning\n"));
            QCOMPARE(readLocal(localPath("f.txt")), sent); // rewritten, not appended
        } else {
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
            QCOMPARE(readLocal(localPath("f.txt")), old + sent);
        }
    }

    // A host may connect as soon as it has the PORT; still nothing moves, and no local file is
    // touched, until it has accepted the transfer command.
    void nothingMovesBeforeTheHostAccepts_data()
    {
        QTest::addColumn<bool>("download");
        QTest::newRow("download refused") << true;
        QTest::newRow("upload refused") << false;
    }

    void nothingMovesBeforeTheHostAccepts()
    {
        QFETCH(bool, download);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        QVERIFY(writeLocal(localPath("f.txt"), "the local copy"));

        ScriptedFtpServer::Step &port = server.expectRegex(PortPattern, "200 OK\r\n");
        if (download)
            port.sendData(contentOf("f.txt")).holdDataOpen();
        else
            port.receiveData();
        addScript(server, {"TYPE I => 200 OK", "CWD / => 250 OK",
                           (download ? "RETR" : "STOR") + QStringLiteral(" f.txt => 550 Not now")});
        QSignalSpy dataDone(&server, &ScriptedFtpServer::dataFinished);

        TransferStack *stack = stackOf({download ? "/f.txt -> %L/f.txt (70000)" : "/f.txt <- %L/f.txt (14)"});
        QSignalSpy ended(stack, &TransferStack::ended);
        c->TransferFiles(stack);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QCOMPARE(stack->filesFailed(), 1);
        QCOMPARE(prompt_.dump().trimmed(), QStringLiteral("Error Transferring File: Not now"));
        QTRY_COMPARE_WITH_TIMEOUT(dataDone.count(), 1, Bound); // the client dropped the data connection
        QCOMPARE(server.receivedData(), QByteArray());
        QCOMPARE(readLocal(localPath("f.txt")), QByteArray("the local copy"));
    }

    // Skipping drops the running file (its partial copy stays); with files left the connection
    // logs in afresh and goes on with them, else it ends the batch and leaves the pool.
    void skipCurrentFile_data()
    {
        QTest::addColumn<bool>("moreFiles");
        QTest::newRow("files follow") << true;
        QTest::newRow("the last file") << false;
    }

    void skipCurrentFile()
    {
        QFETCH(bool, moreFiles);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        QPointer<Connection> c = logIn(server);
        QVERIFY(c);
        addScript(server, {"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK"});
        server.expect("RETR f.txt", "150 Opening\r\n").sendData("the first part", "226 Sent\r\n").holdDataOpen();
        if (moreFiles) {
            server.expectLogin();
            addScript(server, {"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK",
                               "RETR g.txt => 150 Opening => 226 Sent"});
        }

        QStringList lines{"/f.txt -> %L/f.txt (1000)"};
        if (moreFiles)
            lines << "/g.txt -> %L/g.txt (70000)";
        TransferStack *stack = stackOf(lines);
        QSignalSpy ended(stack, &TransferStack::ended);
        c->TransferFiles(stack);
        QTRY_COMPARE_WITH_TIMEOUT(readLocal(localPath("f.txt")), QByteArray("the first part"), Bound);

        c->SkipCurrentFile();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(stack->failures(), QStringList{"/f.txt: Skipped"});
        QCOMPARE(readLocal(localPath("f.txt")), QByteArray("the first part"));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        if (moreFiles) {
            QCOMPARE(server.connectionCount(), 2);
            QCOMPARE(stack->filesCompleted(), 1);
            QCOMPARE(readLocal(localPath("g.txt")), contentOf("g.txt"));
            QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        } else {
            QVERIFY(!pool_->IsPooled(c));
            QTRY_VERIFY_WITH_TIMEOUT(!server.isClientConnected(), Bound);
        }
    }

    void strangerCannotFeedTheDataConnection()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        addScript(server, {"PORT => 200 OK", "TYPE I => 200 OK", "CWD / => 250 OK",
                           "RETR f.txt => 150 Opening => 226 Sent"});

        // Someone else on this machine (another loopback address) races the host to the port.
        QTcpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2"))));
        connect(&server, &ScriptedFtpServer::commandReceived, this, [&](const QString &line) {
            if (line.startsWith(QLatin1String("PORT ")) && stranger.state() == QAbstractSocket::BoundState) {
                stranger.connectToHost(QHostAddress::LocalHost, server.dataPort());
                stranger.write("forged file contents");
            }
        });

        TransferStack *stack = stackOf({"/f.txt -> %L/f.txt (70000)"});
        QSignalSpy ended(stack, &TransferStack::ended);
        c->TransferFiles(stack);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QCOMPARE(stack->filesCompleted(), 1);
        QCOMPARE(readLocal(localPath("f.txt")), contentOf("f.txt"));
        QTRY_COMPARE_WITH_TIMEOUT(stranger.state(), QAbstractSocket::UnconnectedState, Bound);
    }

    // --- delete, rename, create directory ----------------------------------------------------

    void deleteEntries_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("deleted");

        QTest::newRow("a file") << QStringList{"/pub/a.txt"}
                                << QStringList{"CWD /pub => 250 OK", "DELE a.txt => 250 Deleted"} << ""
                                << QStringList{"removed %H /pub/a.txt"} << 1;
        QTest::newRow("a directory") << QStringList{"DIR: /pub/sub/"}
                                     << QStringList{"CWD /pub => 250 OK", "RMD sub => 250 Removed"} << ""
                                     << QStringList{"removed %H /pub/sub"} << 1;
        QTest::newRow("a file in the root") << QStringList{"/a.txt"}
                                            << QStringList{"CWD / => 250 OK", "DELE a.txt => 250 Deleted"} << ""
                                            << QStringList{"removed %H /a.txt"} << 1;
        QTest::newRow("DELE refused") << QStringList{"/pub/a.txt"}
                                      << QStringList{"CWD /pub => 250 OK", "DELE a.txt => 550 Permission denied"}
                                      << "Couldn't Delete File: Permission denied" << QStringList() << 0;
        QTest::newRow("CWD fails, then the next entry")
            << QStringList{"/pub/a.txt", "/gone/b.txt"} // taken from the end
            << QStringList{"CWD /gone => 550 No such directory", "CWD /pub => 250 OK", "DELE a.txt => 250 Deleted"}
            << "Error Deleting: No such directory\nCouldn't Delete File: Couldn't Change to Directory"
            << QStringList{"removed %H /pub/a.txt"} << 1;
    }

    void deleteEntries()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, script);
        QFETCH(QString, boxes);
        QFETCH(QStringList, events);
        QFETCH(int, deleted);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        addScript(server, script);
        // The listing the deletion started from, as the program names cache files.
        QVERIFY(QDir().mkpath(env_.home() + "/listings"));
        const QString cacheFile = QStringLiteral("C:\\listings\\09900001.FTC");
        QVERIFY(writeLocal(env_.home() + "/listings/09900001.FTC", "a listing"));

        auto *list = new DeleteList(hostOf(server), cacheFile, pool_.get());
        for (const QString &line : lines)
            list->addLine(line);
        QSignalSpy ended(list, &DeleteList::ended);
        c->DeleteFiles(list);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(afterLogin(server), commandsOf(script));
        QCOMPARE(prompt_.dump().trimmed(), boxes);
        QCOMPARE(pane_.events, events.replaceInStrings("%H", hostOf(server)));
        QCOMPARE(list->entriesDeleted(), deleted);
        QCOMPARE(list->entriesFailed(), int(lines.size()) - deleted);
        QCOMPARE(QFile::exists(env_.home() + "/listings/09900001.FTC"), deleted == 0);
    }

    // Cancelling stops the deletion before its next entry; nothing more is sent.
    void deleteStopsWhenCancelled()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        addScript(server, {"CWD /pub => 250 OK", "DELE c.txt => 250 Deleted"});

        auto *list = new DeleteList(hostOf(server), QString(), pool_.get());
        for (const char *name : {"/pub/a.txt", "/pub/b.txt", "/pub/c.txt"})
            list->addLine(name);
        connect(list, &DeleteList::entryFinished, list, &DeleteList::cancel);
        QSignalSpy ended(list, &DeleteList::ended);
        c->DeleteFiles(list);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QCOMPARE(afterLogin(server), (QStringList{"CWD /pub", "DELE c.txt"}));
        QCOMPARE(list->entriesDeleted(), 1);
        QCOMPARE(list->remainingLines(), (QStringList{"/pub/a.txt", "/pub/b.txt"}));
    }

    void rename_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("done");

        QTest::newRow("renamed") << "/pub/"
                                 << QStringList{"CWD /pub => 250 OK", "RNFR old.txt => 350 Ready",
                                                "RNTO new.txt => 250 Renamed"}
                                 << "" << 0 << true;
        QTest::newRow("in the root") << "/"
                                     << QStringList{"CWD / => 250 OK", "RNFR old.txt => 350 Ready",
                                                    "RNTO new.txt => 250 Renamed"}
                                     << "" << 0 << true;
        QTest::newRow("CWD refused, a box without icon")
            << "/pub/" << QStringList{"CWD /pub => 550 No such directory"}
            << "Couldn't Change Dir for Rename: No such directory" << int(Prompt::Icon::None) << false;
        QTest::newRow("RNFR refused") << "/pub/"
                                      << QStringList{"CWD /pub => 250 OK", "RNFR old.txt => 550 No such file"}
                                      << "Error Renaming File: No such file" << int(Prompt::Icon::Warning) << false;
        QTest::newRow("RNTO refused") << "/pub/"
                                      << QStringList{"CWD /pub => 250 OK", "RNFR old.txt => 350 Ready",
                                                     "RNTO new.txt => 553 Bad name"}
                                      << "Error Renaming File: Bad name" << int(Prompt::Icon::Warning) << false;
    }

    void rename()
    {
        QFETCH(QString, directory);
        QFETCH(QStringList, script);
        QFETCH(QString, box);
        QFETCH(int, icon);
        QFETCH(bool, done);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        addScript(server, script);

        auto *record = new RenameRecord(hostOf(server), directory, "old.txt", "new.txt", pool_.get());
        c->RenameFile(record);
        QTRY_VERIFY_WITH_TIMEOUT(record->finished(), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(afterLogin(server), commandsOf(script));
        QCOMPARE(prompt_.dump().trimmed(), box);
        if (!box.isEmpty())
            QCOMPARE(int(prompt_.entries().first().icon), icon);
        QCOMPARE(record->done(), done);
        const QStringList events{"renamed " + hostOf(server) + " " + directory + "old.txt new.txt"};
        QCOMPARE(pane_.events, done ? events : QStringList());
        if (done)
            QCOMPARE(record->status(), QStringLiteral("File Renamed"));
    }

    void makeDir_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("event");

        QTest::newRow("created") << "/pub/new" << QStringList{"CWD /pub => 250 OK", "MKD new => 257 Created"} << ""
                                 << "created %H /pub/new";
        QTest::newRow("under the root, written with a slash")
            << "/new/" << QStringList{"CWD / => 250 OK", "MKD new => 257 Created"} << "" << "created %H /new";
        QTest::newRow("CWD refused") << "/pub/new" << QStringList{"CWD /pub => 550 No such directory"}
                                     << "Error Creating Directory: No such directory" << "";
        QTest::newRow("MKD refused") << "/pub/new"
                                     << QStringList{"CWD /pub => 250 OK", "MKD new => 550 File exists"}
                                     << "Error Creating Directory: File exists" << "";
    }

    void makeDir()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, script);
        QFETCH(QString, box);
        QFETCH(QString, event);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        addScript(server, script);

        auto *record = new MakeDirRecord(hostOf(server), path, pool_.get());
        c->MakeDir(record);
        QTRY_VERIFY_WITH_TIMEOUT(record->finished(), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(afterLogin(server), commandsOf(script));
        QCOMPARE(prompt_.dump().trimmed(), box);
        QCOMPARE(record->done(), box.isEmpty());
        QCOMPARE(pane_.events, event.isEmpty() ? QStringList() : QStringList{event.replace("%H", hostOf(server))});
    }

    // A line break in a name would smuggle a second command to the host: nothing of the entry is
    // sent, the entry fails with a message, and the connection goes on.
    void lineBreaksAreNeverSent_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("listing") << "list";
        QTest::newRow("file of a batch") << "transfer";
        QTest::newRow("delete entry") << "delete";
        QTest::newRow("rename") << "rename";
        QTest::newRow("create directory") << "mkdir";
    }

    void lineBreaksAreNeverSent()
    {
        QFETCH(QString, operation);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        const QString evil = QStringLiteral("/pub/x\r\nDELE keep.txt");

        QString failure;
        if (operation == "list") {
            c->ListDir(QString(), &job_, evil);
            QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
            failure = prompt_.lastText();
            QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error Retrieving List"));
        } else if (operation == "transfer") {
            TransferStack *stack = stackOf({evil + " -> %L/x (1)"});
            QSignalSpy ended(stack, &TransferStack::ended);
            c->TransferFiles(stack);
            QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
            QCOMPARE(stack->filesFailed(), 1);
            failure = stack->failures().value(0);
        } else if (operation == "delete") {
            auto *list = new DeleteList(hostOf(server), QString(), pool_.get());
            list->addLine(evil);
            QSignalSpy ended(list, &DeleteList::ended);
            c->DeleteFiles(list);
            QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
            QCOMPARE(list->entriesFailed(), 1);
            failure = list->failures().value(0);
        } else if (operation == "rename") {
            auto *record = new RenameRecord(hostOf(server), "/pub/", "a", "b\r\nDELE keep.txt", pool_.get());
            c->RenameFile(record);
            QTRY_VERIFY_WITH_TIMEOUT(record->finished(), Bound);
            QVERIFY(!record->done());
            failure = record->failure();
        } else {
            auto *record = new MakeDirRecord(hostOf(server), evil, pool_.get());
            c->MakeDir(record);
            QTRY_VERIFY_WITH_TIMEOUT(record->finished(), Bound);
            QVERIFY(!record->done());
            failure = record->failure();
        }
        QVERIFY2(!failure.isEmpty(), "the entry fails with a message");
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        addScript(server, {"CWD / => 250 OK", "NOOP => 200 OK"});
        c->CustomCommands("CWD /\r\nNOOP\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QCOMPARE(afterLogin(server), (QStringList{"CWD /", "NOOP"}));
    }

    // --- host to host ------------------------------------------------------------------------

    // The source is sent to the destination as this client reached it, with the port of the 227;
    // it is started only once the destination has sent STOR. A 227 that names no address, or a
    // source that refuses the PORT, fails the file and both sides start afresh.
    void hostToHost_data()
    {
        QTest::addColumn<QString>("pasvReply");
        QTest::addColumn<QString>("sourcePort"); // empty: the 227 is refused
        QTest::addColumn<QString>("portReply");
        QTest::addColumn<QString>("box");         // empty: the file is copied

        const QString pasv = QStringLiteral("227 Entering Passive Mode (10,9,8,7,4,1)");
        QTest::newRow("another address named") << pasv << "PORT 127,0,0,1,4,1" << "200 OK" << "";
        QTest::newRow("without parentheses")
            << "227 Entering Passive Mode 127,0,0,1,200,7." << "PORT 127,0,0,1,200,7" << "200 OK" << "";
        QTest::newRow("source refuses the PORT")
            << pasv << "PORT 127,0,0,1,4,1" << "501 Rejected data connection to foreign address"
            << "Error Setting Port: Rejected data connection to foreign address";
        QTest::newRow("number above 255") << "227 Entering Passive Mode (127,0,0,1,300,1)" << "" << ""
                                          << "Error Entering Passive Mode: Entering Passive Mode (127,0,0,1,300,1)";
        QTest::newRow("four digits") << "227 Entering Passive Mode (127,0,0,1,1000,1)" << "" << ""
                                     << "Error Entering Passive Mode: Entering Passive Mode (127,0,0,1,1000,1)";
        QTest::newRow("no numbers") << "227 Entering Passive Mode" << "" << ""
                                    << "Error Entering Passive Mode: Entering Passive Mode";
    }

    void hostToHost()
    {
        QFETCH(QString, pasvReply);
        QFETCH(QString, sourcePort);
        QFETCH(QString, portReply);
        QFETCH(QString, box);

        ScriptedFtpServer source, destination;
        QVERIFY(source.listen());
        QVERIFY(destination.listen());
        pool_->defineHost(hostRecord(source.port()));
        pool_->defineHost(hostRecord(destination.port()));
        QStringList order;
        connect(&source, &ScriptedFtpServer::commandReceived, this, [&](const QString &l) { order << "src " + l; });
        connect(&destination, &ScriptedFtpServer::commandReceived, this,
                [&](const QString &l) { order << "dst " + l; });

        source.expectLogin();
        destination.expectLogin();
        addScript(destination, {"PASV => " + pasvReply});
        if (!sourcePort.isEmpty()) {
            addScript(destination, {"CWD /in => 250 OK", "TYPE I => 200 OK", "CWD /in => 250 OK",
                                    "STOR f.bin => 150 Opening"});
            source.expect(sourcePort, portReply.toUtf8() + "\r\n");
        }
        if (box.isEmpty()) {
            addScript(source, {"CWD /out => 250 OK", "TYPE I => 200 OK", "CWD /out => 250 OK",
                               "RETR f.bin => 150 Opening\r\n226 Sent"});
            connect(&source, &ScriptedFtpServer::commandReceived, this, [&](const QString &l) {
                if (l.startsWith(QLatin1String("RETR ")))
                    destination.sendRaw("226 Stored\r\n");
            });
        } else {
            source.expectLogin(); // both sides start afresh after the failure
            destination.expectLogin();
        }

        auto *copy = new HostToHostTransfer(*pool_, hostOf(source), hostOf(destination), false, pool_.get());
        copy->insertLine({"/out/f.bin", "/in/f.bin", true});
        QSignalSpy ended(copy, &HostToHostTransfer::ended);
        copy->takeNextLine();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(source.allStepsDone() && destination.allStepsDone(), Bound);
        QVERIFY2(!source.sawUnexpected(), qPrintable(source.firstMismatch()));
        QVERIFY2(!destination.sawUnexpected(), qPrintable(destination.firstMismatch()));
        QCOMPARE(prompt_.dump().trimmed(), box);
        QCOMPARE(copy->filesCompleted(), box.isEmpty() ? 1 : 0);
        QCOMPARE(copy->filesFailed(), box.isEmpty() ? 0 : 1);
        if (sourcePort.isEmpty()) {
            QVERIFY(!order.join('\n').contains("src PORT"));
            return;
        }
        // The client sends PORT to the source only after the destination answered its last CWD,
        // the step right before STOR; the two hosts may see STOR and PORT in either order.
        const qsizetype lastCwd = order.lastIndexOf("dst CWD /in");
        const qsizetype port = order.indexOf("src " + sourcePort);
        QVERIFY2(lastCwd >= 0 && port > lastCwd, qPrintable(order.join('\n')));
    }

    // Connections closed in the middle of a host-to-host copy end the copy, with a message,
    // whichever side goes and however it goes.
    void hostToHostEndsWhenItsConnectionsClose_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("close all") << "all";
        QTest::newRow("close the source host") << "source";
        QTest::newRow("close the destination host") << "destination";
        QTest::newRow("source host goes away") << "lost";
    }

    void hostToHostEndsWhenItsConnectionsClose()
    {
        QFETCH(QString, how);
        ScriptedFtpServer source, destination;
        QVERIFY(source.listen() && destination.listen());
        pool_->defineHost(hostRecord(source.port()));
        pool_->defineHost(hostRecord(destination.port()));
        source.expectLogin();
        destination.expectLogin();
        addScript(destination, {"PASV => 227 Entering Passive Mode (127,0,0,1,4,1)", "CWD /in => 250 OK",
                                "TYPE I => 200 OK", "CWD /in => 250 OK", "STOR f.bin => 150 Opening"});
        source.expect(QStringLiteral("PORT 127,0,0,1,4,1"), "200 OK\r\n");
        addScript(source, {"CWD /out => 250 OK", "TYPE I => 200 OK", "CWD /out => 250 OK",
                           "RETR f.bin => 150 Opening"}); // and the copy never ends by itself

        auto *copy = new HostToHostTransfer(*pool_, hostOf(source), hostOf(destination), false, pool_.get());
        copy->insertLine({"/out/g.bin", "/in/g.bin", true});
        copy->insertLine({"/out/f.bin", "/in/f.bin", true});
        QSignalSpy ended(copy, &HostToHostTransfer::ended);
        copy->takeNextLine();
        QTRY_VERIFY_WITH_TIMEOUT(source.allStepsDone() && destination.allStepsDone(), Bound);

        if (how == QLatin1String("all"))
            pool_->CloseAll();
        else if (how == QLatin1String("source"))
            pool_->CloseHost(hostOf(source));
        else if (how == QLatin1String("destination"))
            pool_->CloseHost(hostOf(destination));
        else
            source.closeClient();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);
        QVERIFY(copy->finished());
        QCOMPARE(copy->filesCompleted(), 0);
        QCOMPARE(copy->filesFailed(), 2); // the line under way and the one that never started
        QCOMPARE(copy->failures().size(), 2);
        QTRY_VERIFY2_WITH_TIMEOUT(prompt_.dump().contains(QLatin1String("Host to Host Copy Stopped")), qPrintable(prompt_.dump()), Bound);
    }
};

QTEST_GUILESS_MAIN(TestOperations)
#include "tst_operations.moc"
