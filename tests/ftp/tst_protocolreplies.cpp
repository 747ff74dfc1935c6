// The replies the client reads for what they carry: the ports of passive-mode replies (227 and
// 229; the address in a 227 reply is never read) and the features of a FEAT reply, with the
// replies a careless or hostile host may send as rows.

#include "ftp/HostFeatures.h"
#include "ftp/PassiveReply.h"

#include <QTest>

class TestProtocolReplies : public QObject
{
    Q_OBJECT
private slots:
    void pasv_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("port"); // 0: refused
        QTest::newRow("usual") << QByteArray("227 Entering Passive Mode (127,0,0,1,19,137).") << 19 * 256 + 137;
        QTest::newRow("another address, same port") << QByteArray("227 Entering Passive Mode (10,1,2,3,19,137)")
                                                    << 19 * 256 + 137;
        QTest::newRow("no parentheses") << QByteArray("227 =127,0,0,1,4,1") << 1025;
        QTest::newRow("text after the numbers") << QByteArray("227 ok (1,2,3,4,0,21) thanks") << 21;
        QTest::newRow("highest port") << QByteArray("227 (1,2,3,4,255,255)") << 65535;
        QTest::newRow("port 0") << QByteArray("227 (1,2,3,4,0,0)") << 0;
        QTest::newRow("number above 255") << QByteArray("227 (1,2,3,4,256,1)") << 0;
        QTest::newRow("four figures") << QByteArray("227 (1,2,3,4,0001,1)") << 0;
        QTest::newRow("five numbers") << QByteArray("227 (1,2,3,4,5)") << 0;
        QTest::newRow("blank after a comma") << QByteArray("227 (1, 2,3,4,5,6)") << 0;
        QTest::newRow("no numbers") << QByteArray("227 Entering Passive Mode") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
    }

    void pasv()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, port);
        QCOMPARE(PasvReplyPort(reply).value_or(0), port);
    }

    void epsv_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("port"); // 0: refused
        QTest::newRow("usual") << QByteArray("229 Entering Extended Passive Mode (|||6446|)") << 6446;
        QTest::newRow("other delimiter") << QByteArray("229 ok (!!!2121!)") << 2121;
        QTest::newRow("highest port") << QByteArray("229 (|||65535|)") << 65535;
        QTest::newRow("port too large") << QByteArray("229 (|||65536|)") << 0;
        QTest::newRow("six figures") << QByteArray("229 (|||100000|)") << 0;
        QTest::newRow("port 0") << QByteArray("229 (|||0|)") << 0;
        QTest::newRow("an address given is refused") << QByteArray("229 (|1|10.0.0.1|6446|)") << 0;
        QTest::newRow("mixed delimiters") << QByteArray("229 (||!6446|)") << 0;
        QTest::newRow("digit as delimiter") << QByteArray("229 (1116446)") << 0;
        QTest::newRow("unclosed") << QByteArray("229 (|||6446|") << 0;
        QTest::newRow("cut short") << QByteArray("229 (||") << 0;
        QTest::newRow("no parenthesis") << QByteArray("229 |||6446|") << 0;
    }

    void epsv()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, port);
        QCOMPARE(EpsvReplyPort(reply).value_or(0), port);
    }

    void featReply_data()
    {
        // The reply as the connection keeps it: the lines before the last, each ending "\n", then
        // the last one. Features: u UTF8, m MLST, e EPSV, s SIZE, d MDTM, r REST STREAM, t AUTH TLS.
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("offered");
        QTest::newRow("pyftpdlib") << "211-Features supported:\n EPRT\n EPSV\n MDTM\n MFMT\n"
                                      " MLST type*;perm*;size*;modify*;unique*;unix.mode;\n REST STREAM\n"
                                      " SIZE\n TVFS\n UTF8\n211 End FEAT."
                                   << "umesdr";
        QTest::newRow("vsftpd with TLS") << "211-Features:\n AUTH TLS\n EPRT\n EPSV\n MDTM\n PASV\n PBSZ\n"
                                            " PROT\n REST STREAM\n SIZE\n TVFS\n211 End"
                                         << "esdrt";
        QTest::newRow("lower case, tabs and blanks") << "211-x\n  utf8 \n mlsd\n auth ssl;tls\n211 End" << "umt";
        QTest::newRow("without UTF8") << "211-Features:\n SIZE\n211 End" << "s";
        QTest::newRow("REST without STREAM") << "211-Features:\n REST\n211 End" << "";
        QTest::newRow("AUTH SSL only") << "211-Features:\n AUTH SSL\n211 End" << "";
        QTest::newRow("names on the code lines do not count") << "211-UTF8 MLST\n211 EPSV" << "";
        QTest::newRow("not a feature but a word in one") << "211-x\n MLSTX\n UTF8ISH\n211 End" << "";
        QTest::newRow("single line") << "211 No features" << "";
        QTest::newRow("empty") << "" << "";
    }

    void featReply()
    {
        QFETCH(QString, reply);
        QFETCH(QString, offered);
        const HostFeatures f = ParseFeatReply(reply);
        QString got;
        for (const auto &[flag, letter] : {std::pair{f.utf8, 'u'}, {f.mlst, 'm'}, {f.epsv, 'e'}, {f.size, 's'},
                                           {f.mdtm, 'd'}, {f.restStream, 'r'}, {f.authTls, 't'}})
            if (flag)
                got += QLatin1Char(letter);
        QCOMPARE(got, offered);
    }
};

QTEST_MAIN(TestProtocolReplies)
#include "tst_protocolreplies.moc"
