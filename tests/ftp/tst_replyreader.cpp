// Reply splitting: which lines end a reply, across any chunk boundary, with bounded lines.

#include "ftp/ReplyReader.h"

#include <QTest>

namespace {
// Feeds the bytes in chunks of the given size and describes every line as "F<code>:text" for a
// final line or "C:text" for a continuation line.
QStringList readAll(const QByteArray &bytes, int chunk)
{
    ReplyReader reader;
    QStringList out;
    for (qsizetype at = 0; at < bytes.size(); at += chunk) {
        reader.append(bytes.mid(at, chunk));
        while (auto line = reader.next())
            out << (line->final ? QStringLiteral("F%1:").arg(line->code) : QStringLiteral("C:"))
                       + QString::fromUtf8(line->text);
    }
    return out;
}
} // namespace

class TestReplyReader : public QObject
{
    Q_OBJECT
private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("single final") << QByteArray("220 Ready\r\n") << QStringList{"F220:220 Ready"};
        QTest::newRow("bare LF") << QByteArray("331 Password\n") << QStringList{"F331:331 Password"};
        QTest::newRow("multi-line greeting")
            << QByteArray("220-Welcome\r\n220-to the host\r\n220 Ready\r\n")
            << QStringList{"C:220-Welcome", "C:220-to the host", "F220:220 Ready"};
        QTest::newRow("digits inside a multi-line reply")
            << QByteArray("211-Status\r\n  200 bytes free\r\n150 files\r\n211 End\r\n226 Next\r\n")
            << QStringList{"C:211-Status", "C:  200 bytes free", "C:150 files", "F211:211 End", "F226:226 Next"};
        QTest::newRow("other code with dash inside")
            << QByteArray("230-Hello\r\n230-\r\n331-odd\r\n230 Done\r\n")
            << QStringList{"C:230-Hello", "C:230-", "C:331-odd", "F230:230 Done"};
        QTest::newRow("line without number outside a reply")
            << QByteArray("hello there\r\n200 OK\r\n") << QStringList{"C:hello there", "F200:200 OK"};
        QTest::newRow("leading blanks read as number outside a reply")
            << QByteArray("  200 bytes free\r\n") << QStringList{"F200:  200 bytes free"};
        QTest::newRow("bare code ends a multi-line reply")
            << QByteArray("214-Help\r\n214\r\n") << QStringList{"C:214-Help", "F214:214"};
        QTest::newRow("code zero is text") << QByteArray("000 nothing\r\n") << QStringList{"C:000 nothing"};
        QTest::newRow("code zero with a dash begins no reply")
            << QByteArray("000-odd\r\n000 end\r\n200 OK\r\n")
            << QStringList{"C:000-odd", "C:000 end", "F200:200 OK"};
        QTest::newRow("unfinished line waits") << QByteArray("200 OK\r\n220 par") << QStringList{"F200:200 OK"};
    }

    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        // The same lines whatever the chunk boundaries.
        for (int chunk : {1, 2, 3, 7, 255, 4096})
            QCOMPARE(readAll(bytes, chunk), expected);
    }

    void endlessLineIsBounded()
    {
        ReplyReader reader;
        const QByteArray chunk(255, 'x');
        qsizetype fed = 0;
        while (!reader.overflowed() && fed < 10 * ReplyReader::MaxLineLength) {
            reader.append(chunk);
            fed += chunk.size();
            QVERIFY(!reader.next());
        }
        QVERIFY(reader.overflowed());
        QVERIFY(fed <= ReplyReader::MaxLineLength + chunk.size());
        reader.append("\r\n200 OK\r\n");
        QVERIFY(!reader.next()); // nothing more is read once the bound is passed
    }

    void longLineWithinBoundPasses()
    {
        ReplyReader reader;
        QByteArray line = "200 " + QByteArray(ReplyReader::MaxLineLength - 10, 'y') + "\r\n";
        reader.append(line);
        const auto got = reader.next();
        QVERIFY(got);
        QVERIFY(got->final);
        QCOMPARE(got->code, 200);
        QVERIFY(!reader.overflowed());
    }
};

QTEST_APPLESS_MAIN(TestReplyReader)
#include "tst_replyreader.moc"
