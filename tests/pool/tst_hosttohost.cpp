// Host-to-host copies between two real servers (pyftpdlib) in both modes: every file arrives
// whole, byte for byte. The background mode differs from the foreground one only in how its
// window opens; a copy whose control connections were let go while the data moved would arrive
// cut short.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"
#include "support/TestHosts.h"

#include "ftp/Connection.h"
#include "pool/ConnectionManager.h"
#include "pool/HostToHostTransfer.h"
#include "settings/StoreFixture.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

constexpr int Bound = 60000; // ms: the longest the copy below may take

QByteArray patternBytes(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + i / 257 + seed) & 0xff);
    return bytes;
}

} // namespace

class TestHostToHost : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    std::unique_ptr<StoreFixture> store_;
    RecordingPrompt prompt_;
    RecordingStatus status_;

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }
    void init()
    {
        store_ = std::make_unique<StoreFixture>();
        prompt_.clear();
    }
    void cleanup() { store_.reset(); }

    void copiesArriveWhole_data()
    {
        QTest::addColumn<bool>("background");
        QTest::newRow("background") << true;
        QTest::newRow("foreground") << false;
    }

    // A file large enough to be moving when the next line could start, a small one and an empty
    // one, the first into folders the destination does not have yet.
    void copiesArriveWhole()
    {
        QFETCH(bool, background);
        FtpServerFixture source, destination;
        QVERIFY2(source.start(), qPrintable(source.errorString()));
        QVERIFY2(destination.start(), qPrintable(destination.errorString()));
        const QByteArray big = patternBytes(48 * 1024 * 1024 + 5, 1), small = patternBytes(1000, 2);
        QVERIFY(source.writeFile("out/big.bin", big));
        QVERIFY(source.writeFile("out/small.bin", small));
        QVERIFY(source.writeFile("out/empty.bin", QByteArray()));
        QVERIFY(destination.makeDir("in"));
        storeTestHost(QStringLiteral("src"), source.port());
        storeTestHost(QStringLiteral("dst"), destination.port());

        ConnectionManager pool(prompt_, status_);
        HostToHostTransfer copy(pool, QStringLiteral("src"), QStringLiteral("dst"), background);
        copy.insertLine({"/out/empty.bin", "/in/empty.bin", true});
        copy.insertLine({"/out/small.bin", "/in/small.bin", true});
        copy.insertLine({"/out/big.bin", "/in/new/big.bin", true});
        QCOMPARE(copy.status(), QStringLiteral("Waiting for Connection to Become Available"));
        QSignalSpy ended(&copy, &HostToHostTransfer::ended);
        copy.takeNextLine();
        QVERIFY(ended.wait(Bound));
        QVERIFY2(copy.filesCompleted() == 3 && copy.filesFailed() == 0,
                 qPrintable(copy.failures().join('\n') + prompt_.dump() + destination.log()));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QVERIFY(destination.readFile("in/new/big.bin") == big);
        QCOMPARE(destination.readFile("in/small.bin"), small);
        QVERIFY(destination.exists("in/empty.bin"));
        QCOMPARE(QFileInfo(destination.pathOf("in/empty.bin")).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestHostToHost)
#include "tst_hosttohost.moc"
