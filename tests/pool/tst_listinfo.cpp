// Listing jobs: one directory for the panes, through the cache or from the host; a request that
// is already under way; searches; tree walks for transfers and deletes; cache builds; links
// that lead back into the tree and trees too deep to walk; jobs that lose their connection.
// Trees are real folders served by pyftpdlib (symbolic links included); the scripted server is
// used where a listing must be held open or its commands counted exactly.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestEnvironment.h"
#include "support/TestHosts.h"

#include "ftp/Cache.h"
#include "ftp/CacheWriter.h"
#include "ftp/Connection.h"
#include "ftp/ListingEntry.h"
#include "ftp/PaneView.h"
#include "platform/LocalDrives.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "pool/JobObservers.h"
#include "pool/ListInfo.h"
#include "settings/AppValues.h"
#include "settings/AsciiExtensions.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int Bound = 20000; // ms: the longest any walk below may take

const QString Site = QStringLiteral("site");

// A browser pane that writes down what it is given, one line of text per event.
class RecordingPane : public PaneView
{
public:
    void listingRequested(const QString &host, const QString &directory, int listingId) override
    {
        requested << QStringLiteral("%1 %2 %3").arg(host, directory).arg(listingId);
    }
    void listingStarted(const QString &host, const QString &directory, int listingId) override
    {
        events << QStringLiteral("started %1 %2 %3").arg(host, directory).arg(listingId);
    }
    void listingEntry(const QString &, const QString &directory, const ListingEntry &entry) override
    {
        entries << std::make_pair(directory, entry);
    }
    void listingEnded(const QString &host, const QString &directory, bool complete) override
    {
        events << QStringLiteral("ended %1 %2 %3").arg(host, directory, complete ? "complete" : "incomplete");
    }
    void entryRemoved(const QString &, const QString &, const QString &) override {}
    void entryRenamed(const QString &, const QString &, const QString &, const QString &) override {}
    void directoryCreated(const QString &, const QString &, const QString &) override {}

    QStringList names(const QString &directory) const
    {
        QStringList out;
        for (const auto &[dir, entry] : entries)
            if (dir == directory)
                out << entry.name;
        return out;
    }
    std::optional<ListingEntry> entry(const QString &directory, const QString &name) const
    {
        for (const auto &[dir, e] : entries)
            if (dir == directory && e.name == name)
                return e;
        return std::nullopt;
    }
    bool ended(const QString &directory) const
    {
        return events.contains(QStringLiteral("ended %1 %2 complete").arg(Site, directory));
    }
    void clear()
    {
        requested.clear();
        events.clear();
        entries.clear();
    }

    QStringList requested;
    QStringList events;
    QList<std::pair<QString, ListingEntry>> entries;
};

class RecordingBuild : public BuildObserver
{
public:
    void setCurrentDirectory(const QString &path) override { directories << path; }
    void walkStopped(const QString &text, bool incomplete) override
    {
        stops << text;
        cutShort += incomplete ? 1 : 0;
    }
    void finished(const QStringList &gathered) override
    {
        items = gathered;
        ++finishedCount;
    }
    void aborted() override { ++abortedCount; }

    QStringList directories;
    QStringList stops;
    QStringList items;
    int finishedCount = 0;
    int abortedCount = 0;
    int cutShort = 0;
};

class RecordingSearch : public SearchObserver
{
public:
    void setCurrentDirectory(const QString &path) override { directories << path; }
    void found(const QString &directory, const QString &name, quint64 size, bool folder) override
    {
        matches << directory + u'|' + name + u'|' + (folder ? QStringLiteral("D") : QString::number(size));
    }
    void abort() override { ++abortedCount; }
    void finished() override { ++finishedCount; }

    QStringList directories;
    QStringList matches;
    int finishedCount = 0;
    int abortedCount = 0;
};

// Host Site in the settings store, logging in to port; values given replace the defaults.
void storeSite(quint16 port, const QString &cacheType = QStringLiteral("1"))
{
    storeTestHost(Site, port, {{QStringLiteral("CacheType"), cacheType},
                               {QStringLiteral("CacheMins"), QStringLiteral("0")},
                               {QStringLiteral("CacheDays"), QStringLiteral("0")}});
}

// The host's side of one listing of directory: it sends line, then holds the data connection open
// until the test closes it.
void expectHeldListing(ScriptedFtpServer &server, const QString &directory, const QByteArray &line)
{
    server.expectPrefix(QStringLiteral("PORT "), "200 PORT ok\r\n");
    server.expect(QStringLiteral("CWD ") + directory, "250 ok\r\n");
    server.expect(QStringLiteral("TYPE A"), "200 ok\r\n");
    server.expect(QStringLiteral("LIST"), "150 Here it comes\r\n").sendData(line, "226 Done\r\n").holdDataOpen();
}

// How often the server was sent exactly this command line.
int sent(const FtpServerFixture &server, const QString &command)
{
    const QRegularExpression line(QStringLiteral("<- ") + QRegularExpression::escape(command) + u'$',
                                  QRegularExpression::MultilineOption);
    return int(server.log().count(line));
}

int sent(const ScriptedFtpServer &server, const QString &command)
{
    return int(server.transcript().count(command));
}

// How many listings the server was asked for: LIST, or MLSD where the host offers it.
template <class Server>
int listed(const Server &server)
{
    return sent(server, QStringLiteral("LIST")) + sent(server, QStringLiteral("MLSD"));
}

ListingEntry fileEntry(const QString &name, quint64 size, ListingEntry::Kind kind = ListingEntry::File)
{
    ListingEntry e;
    e.name = name;
    e.size = size;
    e.kind = kind;
    return e;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

qint64 sizeOf(const FtpServerFixture &server, const QString &relative)
{
    return QFileInfo(server.pathOf(relative)).size();
}

// A symbolic link in the served tree; pyftpdlib lists it as a link with its target text.
bool link(const FtpServerFixture &server, const QString &relative, const QString &target)
{
    return QFile::link(target, server.pathOf(relative));
}

} // namespace

class TestListInfo : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    RecordingPrompt prompt_;
    RecordingStatus status_;
    RecordingPane paneA_;
    RecordingPane paneB_;
    std::unique_ptr<ConnectionManager> pool_;
    int folders_ = 0;
    QString cacheDir_;

    // The cache file of (Site, directory), in drive form, without disturbing the pool's lookup.
    QString cacheFile(const QString &directory)
    {
        Cache lookup = pool_->cache();
        lookup.Lookup(Site, directory, true);
        return lookup.GetFilePath();
    }

    bool writeCache(const QString &directory, const QList<ListingEntry> &entries)
    {
        CacheWriter writer;
        if (!writer.open(cacheFile(directory)))
            return false;
        for (const ListingEntry &e : entries)
            if (!writer.append(e))
                return false;
        return writer.close();
    }

    QStringList cachedNames(const QString &directory)
    {
        QStringList names;
        if (const auto entries = Cache::ReadRecords(cacheFile(directory)))
            for (const ListingEntry &e : *entries)
                names << e.name;
        else
            names << QStringLiteral("<no file>");
        return names;
    }

    int listingFiles() const
    {
        return int(QDir(toNativePath(cacheDir_)).entryList({QStringLiteral("????????.FTC")}, QDir::Files).size());
    }

    Connection *browse() const { return pool_->connection(ConnectionManager::Browse, 0); }

    // A small tree for the walks:
    //   t/a.txt (5)  t/b.bin (3)  t/sub/c.txt (0)  t/sub/deep/  t/lnk -> ../keep
    //   keep/k.txt (4)  u/f (1)
    bool makeTree(const FtpServerFixture &server)
    {
        return server.writeFile("t/a.txt", "hello") && server.writeFile("t/b.bin", "abc")
            && server.writeFile("t/sub/c.txt", "") && server.makeDir("t/sub/deep")
            && server.writeFile("keep/k.txt", "keep") && server.writeFile("u/f", "x")
            && link(server, "t/lnk", "../keep");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(env_.setUp(), qPrintable(env_.errorString()));
        SettingsStore::reopen();
        QVERIFY(SettingsStore::instance().isOpen());
        AddAsciiExtension(QStringLiteral("txt"));
        RemoveAsciiExtension(QStringLiteral("bin"));
    }

    // Each test gets a cache directory of its own and a pool with two panes.
    void init()
    {
        prompt_.clear();
        status_.clear();
        paneA_.clear();
        paneB_.clear();
        cacheDir_ = QStringLiteral("C:\\jobcache%1\\").arg(++folders_);
        QVERIFY(SetAppValue(QStringLiteral("CachePath"), cacheDir_));
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        pool_->setDataMode(1); // the scripts use PORT
        pool_->addPane(&paneA_);
        pool_->addPane(&paneB_);
    }

    void cleanup()
    {
        pool_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // --- one directory for the panes --------------------------------------------------------

    void listingReachesPanesAndCache()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile("pub/one.txt", "1") && server.writeFile("pub/two", "22") && server.makeDir("pub/dir"));
        storeSite(server.port());

        ListInfo::ListDirectory(*pool_, Site, QStringLiteral("/pub"), &paneA_, false, true);
        QCOMPARE(status_.texts().value(0), QStringLiteral("List registered on site for /pub"));
        const int id = Cache::ListingId(cacheFile(QStringLiteral("/pub/")));
        QVERIFY(id >= 0);
        // Only the pane that asked is told which listing it shows now.
        QCOMPARE(paneA_.requested, QStringList{QStringLiteral("site /pub/ %1").arg(id)});
        QVERIFY(paneB_.requested.isEmpty());

        QTRY_VERIFY_WITH_TIMEOUT(paneA_.ended(QStringLiteral("/pub/")), Bound);
        const QStringList live{"dir", "one.txt", "two"};
        for (RecordingPane *pane : {&paneA_, &paneB_}) {
            QCOMPARE(pane->events, (QStringList{QStringLiteral("started site /pub/ %1").arg(id),
                                                QStringLiteral("ended site /pub/ complete")}));
            QCOMPARE(sorted(pane->names(QStringLiteral("/pub/"))), live);
        }
        QCOMPARE(paneA_.entry(QStringLiteral("/pub/"), QStringLiteral("dir")).value_or(ListingEntry()).kind,
                 ListingEntry::Directory);
        QCOMPARE(sorted(cachedNames(QStringLiteral("/pub/"))), live);
        QCOMPARE(listed(server), 1);

        // Asked again: the listing comes from the cache, at once and without a word to the host.
        paneA_.clear();
        status_.clear();
        QVERIFY(server.writeFile("pub/three", "3"));
        ListInfo::ListDirectory(*pool_, Site, QStringLiteral("/pub/"), &paneA_, false, true);
        QCOMPARE(paneA_.events.value(1), QStringLiteral("ended site /pub/ complete"));
        QCOMPARE(sorted(paneA_.names(QStringLiteral("/pub/"))), live);
        QVERIFY(status_.contains(QStringLiteral("Finished Listing")));

        // Refreshed: from the host again, and the cache follows.
        ListInfo::ListDirectory(*pool_, Site, QStringLiteral("/pub/"), &paneA_, true, true);
        QTRY_COMPARE_WITH_TIMEOUT(listed(server), 2, Bound);
        QTRY_COMPARE_WITH_TIMEOUT(paneA_.events.count(QStringLiteral("ended site /pub/ complete")), 2, Bound);
        QCOMPARE(sorted(cachedNames(QStringLiteral("/pub/"))), (QStringList{"dir", "one.txt", "three", "two"}));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // Where a listing comes from, by the host's cache policy, the file kept for it, refresh and
    // fetch. "cache": shown from the file, no connection at all; "host": fetched; "none": nothing.
    void cacheOrHost_data()
    {
        QTest::addColumn<QString>("policy");  // CacheType
        QTest::addColumn<QString>("file");    // none, fresh, old (before this run), broken
        QTest::addColumn<bool>("refresh");
        QTest::addColumn<bool>("fetch");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("after");   // what the file holds afterwards: cached, live, gone

        QTest::newRow("kept always, refresh off") << "2" << "fresh" << false << true << "cache" << "cached";
        QTest::newRow("kept always, refresh on") << "2" << "fresh" << true << true << "host" << "live";
        QTest::newRow("kept for this run, written now") << "1" << "fresh" << false << true << "cache" << "cached";
        QTest::newRow("kept for this run, written before") << "1" << "old" << false << true << "host" << "live";
        QTest::newRow("expired, fetch on") << "3" << "fresh" << false << true << "host" << "live";
        QTest::newRow("expired, fetch off shows it") << "3" << "fresh" << false << false << "cache" << "cached";
        QTest::newRow("never kept, fetch off shows it") << "0" << "fresh" << false << false << "cache" << "cached";
        QTest::newRow("never kept, fetch on") << "0" << "fresh" << false << true << "host" << "gone";
        QTest::newRow("no file, fetch on") << "2" << "none" << false << true << "host" << "live";
        QTest::newRow("no file, fetch off") << "2" << "none" << false << false << "none" << "gone";
        QTest::newRow("broken file, fetch on") << "2" << "broken" << false << true << "host" << "live";
        QTest::newRow("broken file, fetch off") << "2" << "broken" << false << false << "none" << "gone";
    }

    void cacheOrHost()
    {
        QFETCH(QString, policy);
        QFETCH(QString, file);
        QFETCH(bool, refresh);
        QFETCH(bool, fetch);
        QFETCH(QString, source);
        QFETCH(QString, after);
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile("d/live.txt", "live"));
        storeSite(server.port(), policy);

        const QString dir = QStringLiteral("/d/");
        const QString path = cacheFile(dir);
        const int id = Cache::ListingId(path);
        if (file != u"none")
            QVERIFY(writeCache(dir, {fileEntry(QStringLiteral("cached.txt"), 6)}));
        if (file == u"old") {
            QFile f(toNativePath(path));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        } else if (file == u"broken") {
            QFile f(toNativePath(path));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(f.write("not a listing") > 0);
        }

        ListInfo::ListDirectory(*pool_, Site, dir, &paneA_, refresh, fetch);
        // A host that keeps no cache lists without a cache file, so the pane waits for no number.
        const int shownId = policy == u"0" ? -1 : id;
        QCOMPARE(paneA_.requested, QStringList{QStringLiteral("site /d/ %1").arg(shownId)});
        if (source == u"host") {
            QTRY_VERIFY_WITH_TIMEOUT(paneA_.ended(dir), Bound);
            QCOMPARE(paneA_.names(dir), QStringList{"live.txt"});
            QCOMPARE(listed(server), 1);
        } else {
            // Nothing went to the network: not even a connection was made.
            QVERIFY(!browse());
            if (source == u"cache") {
                QCOMPARE(paneA_.events, (QStringList{QStringLiteral("started site /d/ %1").arg(shownId),
                                                     QStringLiteral("ended site /d/ complete")}));
                QCOMPARE(paneA_.names(dir), QStringList{"cached.txt"});
                QCOMPARE(paneB_.names(dir), QStringList{"cached.txt"});
                QVERIFY(status_.contains(QStringLiteral("Finished Listing")));
            } else {
                QVERIFY(paneA_.events.isEmpty());
            }
        }

        if (after == u"cached")
            QCOMPARE(cachedNames(dir), QStringList{"cached.txt"});
        else if (after == u"live")
            QCOMPARE(cachedNames(dir), QStringList{"live.txt"});
        else
            QVERIFY(!QFileInfo::exists(toNativePath(path)));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // A second request for a listing that waits in a queue does not fetch it twice; one made
    // while the listing arrives gets a whole copy of its own (what arrived went by before it asked).
    void listingAlreadyUnderWay_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("lists");
        QTest::newRow("first still queued") << "queued" << 1;
        QTest::newRow("first downloading") << "downloading" << 2;
        QTest::newRow("first finished") << "finished" << 2;
    }

    void listingAlreadyUnderWay()
    {
        QFETCH(QString, when);
        QFETCH(int, lists);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        storeSite(server.port());
        server.expectLogin();
        for (int i = 0; i < 2; ++i)
            expectHeldListing(server, QStringLiteral("/pub"), "-rw-r--r--   1 u  g   5 Jan  1  2020 a.txt\r\n");
        const QString busy = QStringLiteral("List of /pub/ on site already awaiting processing");

        ListInfo::ListDirectory(*pool_, Site, QStringLiteral("/pub/"), &paneA_, true, true);
        if (when == u"downloading")
            QTRY_VERIFY_WITH_TIMEOUT(!paneA_.entries.isEmpty(), Bound);
        if (when == u"finished") {
            QTRY_VERIFY_WITH_TIMEOUT(server.isDataBusy(), Bound);
            server.closeData();
            QTRY_VERIFY_WITH_TIMEOUT(paneA_.ended(QStringLiteral("/pub/")), Bound);
        }
        ListInfo::ListDirectory(*pool_, Site, QStringLiteral("/pub/"), &paneB_, true, true);
        QCOMPARE(status_.contains(busy), lists == 1);

        for (int i = 0; i < lists - (when == u"finished"); ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(server.isDataBusy(), Bound);
            server.closeData();
            QTRY_VERIFY_WITH_TIMEOUT(!server.isDataBusy(), Bound);
        }
        QTRY_VERIFY_WITH_TIMEOUT(pool_->AllIdle(), Bound);
        QCOMPARE(listed(server), lists);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(paneA_.events.count(QStringLiteral("ended site /pub/ complete")), lists);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // A listing given as a link entry's text lists the link's target.
    void linkTextListsTarget_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("absolute target") << "/pub/bin -> /real/bin";
        QTest::newRow("target with a slash") << "/pub/bin -> /real/bin/";
    }

    void linkTextListsTarget()
    {
        QFETCH(QString, path);
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile("real/bin/ls", "elf") && server.makeDir("pub"));
        QVERIFY(link(server, "pub/bin", "../real/bin"));
        storeSite(server.port());

        ListInfo::ListDirectory(*pool_, Site, path, &paneA_, false, true);
        const QString target = QStringLiteral("/real/bin/");
        QCOMPARE(paneA_.requested.value(0),
                 QStringLiteral("site %1 %2").arg(target).arg(Cache::ListingId(cacheFile(target))));
        QTRY_VERIFY_WITH_TIMEOUT(paneA_.ended(target), Bound);
        QCOMPARE(paneA_.names(target), QStringList{"ls"});
        QCOMPARE(sent(server, QStringLiteral("CWD /real/bin")), 1);
        QCOMPARE(sent(server, QStringLiteral("CWD /pub/bin")), 0);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // --- searches ------------------------------------------------------------------------------

    void searchMatches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("subFolders");
        QTest::addColumn<QStringList>("matches");
        QTest::addColumn<QStringList>("visited");

        const QStringList top{"/s/"}, both{"/s/", "/s/abc/"};
        QTest::newRow("ab in the tree") << "ab" << true
                                        << QStringList{"/s/abc/|cab|3", "/s/|ab|2", "/s/|abc|D", "/s/|xaby|4"} << both;
        QTest::newRow("ab in the folder only") << "ab" << false
                                               << QStringList{"/s/|ab|2", "/s/|abc|D", "/s/|xaby|4"} << top;
        QTest::newRow("case counts") << "AB" << true << QStringList{"/s/|AB|2"} << both;
        QTest::newRow("empty text matches all")
            << "" << false << QStringList{"/s/|AB|2", "/s/|ab|2", "/s/|abc|D", "/s/|b|1", "/s/|xaby|4"} << top;
    }

    void searchMatches()
    {
        QFETCH(QString, text);
        QFETCH(bool, subFolders);
        QFETCH(QStringList, matches);
        QFETCH(QStringList, visited);
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile("s/xaby", "xaby") && server.writeFile("s/ab", "ab") && server.writeFile("s/AB", "AB")
                && server.writeFile("s/b", "b") && server.writeFile("s/abc/cab", "cab"));
        storeSite(server.port());

        RecordingSearch search;
        ListInfo::SearchRequest request{Site, QStringLiteral("\\s"), text, subFolders, true, false, false};
        QVERIFY(ListInfo::StartSearch(*pool_, request, &search));
        QTRY_COMPARE_WITH_TIMEOUT(search.finishedCount, 1, Bound);
        QCOMPARE(sorted(search.matches), sorted(matches));
        QCOMPARE(search.directories, visited);
        QCOMPARE(search.abortedCount, 0);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    void searchFollowsLinks_data()
    {
        QTest::addColumn<bool>("followLinks");
        QTest::addColumn<QStringList>("matches");
        QTest::newRow("links followed") << true << QStringList{"/f/lnk/|ab|2", "/f/sub/|ab|2"};
        QTest::newRow("links not followed") << false << QStringList{"/f/sub/|ab|2"};
    }

    void searchFollowsLinks()
    {
        QFETCH(bool, followLinks);
        QFETCH(QStringList, matches);
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile("f/sub/ab", "ab") && link(server, "f/lnk", "sub"));
        storeSite(server.port());

        RecordingSearch search;
        ListInfo::SearchRequest request{Site, QStringLiteral("/f/"), QStringLiteral("ab"), true, followLinks, false,
                                        true};
        QVERIFY(ListInfo::StartSearch(*pool_, request, &search));
        QTRY_COMPARE_WITH_TIMEOUT(search.finishedCount, 1, Bound);
        QCOMPARE(sorted(search.matches), sorted(matches));
        QCOMPARE(sent(server, QStringLiteral("CWD /f/lnk")), followLinks ? 1 : 0);
        // pyftpdlib shows the link as a link.
        const auto lnk = paneA_.entry(QStringLiteral("/f/"), QStringLiteral("lnk"));
        QVERIFY(lnk);
        QCOMPARE(lnk->kind, ListingEntry::Link);
        QCOMPARE(lnk->linkTarget, QStringLiteral("sub"));
        // The search's own connection closes when it is done; the browse connection was not used.
        QVERIFY(!browse());
        QTRY_VERIFY_WITH_TIMEOUT(!pool_->connection(ConnectionManager::SingleUse, 0)
                                     || pool_->connection(ConnectionManager::SingleUse, 0)->state()
                                            == Connection::Closed,
                                 Bound);
    }

    // A pane's listing of a subdirectory waits in the queue when a search reaches it: the search
    // fetches its own copy, which is not written to the cache and which no pane takes as its own.
    void searchFetchesQueuedDirectoryAgain()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile("t/x.txt", "x") && server.writeFile("t/sub/ab.txt", "ab"));
        storeSite(server.port());

        ListInfo::ListDirectory(*pool_, Site, QStringLiteral("/t/sub/"), &paneA_, false, true);
        const int id = Cache::ListingId(cacheFile(QStringLiteral("/t/sub/")));
        RecordingSearch search;
        ListInfo::SearchRequest request{Site, QStringLiteral("/t"), QStringLiteral("ab"), true, true, false, false};
        QVERIFY(ListInfo::StartSearch(*pool_, request, &search));

        QTRY_COMPARE_WITH_TIMEOUT(search.finishedCount, 1, Bound);
        QCOMPARE(search.matches, QStringList{"/t/sub/|ab.txt|2"});
        QTRY_VERIFY_WITH_TIMEOUT(paneA_.ended(QStringLiteral("/t/sub/")) && pool_->AllIdle(), Bound);
        QCOMPARE(sent(server, QStringLiteral("CWD /t/sub")), 2);
        QVERIFY(paneA_.events.contains(QStringLiteral("started site /t/sub/ -1")));
        QVERIFY(paneA_.events.contains(QStringLiteral("started site /t/sub/ %1").arg(id)));
        QVERIFY(!status_.contains(QStringLiteral("already awaiting processing")));
        QCOMPARE(cachedNames(QStringLiteral("/t/sub/")), QStringList{"ab.txt"});
    }

    // Everything in the cache: the search is over before it is handed back, and no listing is
    // fetched.
    void searchFromCacheOnly()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        storeSite(server.port(), QStringLiteral("2"));
        QVERIFY(writeCache(QStringLiteral("/c/"), {fileEntry(QStringLiteral("ab"), 2),
                                                    fileEntry(QStringLiteral("sub"), 0, ListingEntry::Directory)}));
        QVERIFY(writeCache(QStringLiteral("/c/sub/"), {fileEntry(QStringLiteral("xab"), 3)}));

        RecordingSearch search;
        ListInfo::SearchRequest request{Site, QStringLiteral("/c/"), QStringLiteral("ab"), true, true, false, false};
        ListInfo *job = ListInfo::StartSearch(*pool_, request, &search);
        QCOMPARE(search.finishedCount, 1);
        QVERIFY(!job); // gone already: nobody may hold on to it
        QCOMPARE(sorted(search.matches), (QStringList{"/c/sub/|xab|3", "/c/|ab|2"}));
        QTRY_VERIFY_WITH_TIMEOUT(pool_->AllIdle(), Bound);
        QCOMPARE(listed(server), 0);
    }

    // --- tree walks ----------------------------------------------------------------------------

    void treeBuild_data()
    {
        QTest::addColumn<bool>("forDelete");
        QTest::addColumn<bool>("newConnection");
        QTest::newRow("transfer") << false << false;
        QTest::newRow("transfer on a new connection") << false << true;
        QTest::newRow("delete") << true << false;
        QTest::newRow("delete on a new connection") << true << true;
    }

    void treeBuild()
    {
        QFETCH(bool, forDelete);
        QFETCH(bool, newConnection);
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(makeTree(server));
        storeSite(server.port());

        const auto size = [&](const char *relative) { return QString::number(sizeOf(server, relative)); };
        QStringList expected{"DIR: /u",
                             "/t/a.txt (5) ASCII",
                             "/t/b.bin (3)",
                             "DIR: /t/sub (" + size("t/sub") + ")",
                             "/t/sub/c.txt (0) ASCII",
                             "DIR: /t/sub/deep (" + size("t/sub/deep") + ")",
                             "/u/f (1)"};
        const QString linkSizeText = QString::number(QByteArray("../keep").size()); // a link's size is its target's length
        if (forDelete) {
            // The link itself goes, never what it points to.
            expected << "/t/lnk (" + linkSizeText + ")";
        } else {
            expected << "DIR: /t/lnk (" + linkSizeText + ")" << "/t/lnk/k.txt (4) ASCII";
        }

        RecordingBuild build;
        QVERIFY(ListInfo::StartTreeBuild(*pool_, Site, {QStringLiteral("/t"), QStringLiteral("/u/")}, forDelete,
                                         newConnection, true, &build));
        QTRY_COMPARE_WITH_TIMEOUT(build.finishedCount, 1, Bound);
        QCOMPARE(sorted(build.items), sorted(expected));
        // Breadth first: the directories given come before anything found below them.
        QCOMPARE(build.directories.mid(0, 2), (QStringList{"/t/", "/u/"}));
        QCOMPARE(build.directories.size(), forDelete ? 4 : 5);
        QCOMPARE(sent(server, QStringLiteral("CWD /t/lnk")), forDelete ? 0 : 1);
        QCOMPARE(sent(server, QStringLiteral("CWD /keep")), 0);
        QVERIFY(build.stops.isEmpty());
        QCOMPARE(build.abortedCount, 0);

        if (newConnection) {
            QVERIFY(!browse());
            QPointer<Connection> own = pool_->connection(ConnectionManager::SingleUse, 0);
            QTRY_VERIFY_WITH_TIMEOUT(!own || own->state() == Connection::Closed, Bound);
        }
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    void cacheBuildWritesEveryDirectory()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(makeTree(server));
        storeSite(server.port(), QStringLiteral("2"));
        // A valid but outdated file is fetched again all the same.
        QVERIFY(writeCache(QStringLiteral("/t/sub/"), {fileEntry(QStringLiteral("old.txt"), 1)}));

        RecordingBuild build;
        QVERIFY(ListInfo::StartCacheBuild(*pool_, Site, QStringLiteral("/t"), false, &build));
        QTRY_COMPARE_WITH_TIMEOUT(build.finishedCount, 1, Bound);
        QVERIFY(build.items.isEmpty());
        QCOMPARE(sorted(build.directories), (QStringList{"/t/", "/t/lnk/", "/t/sub/", "/t/sub/deep/"}));

        QCOMPARE(sorted(cachedNames(QStringLiteral("/t/"))), (QStringList{"a.txt", "b.bin", "lnk", "sub"}));
        QCOMPARE(cachedNames(QStringLiteral("/t/sub/")), (QStringList{"c.txt", "deep"}));
        QCOMPARE(cachedNames(QStringLiteral("/t/sub/deep/")), QStringList());
        QCOMPARE(cachedNames(QStringLiteral("/t/lnk/")), QStringList{"k.txt"});
        QCOMPARE(listingFiles(), 4);
        QCOMPARE(listed(server), 4);
    }

    // Links back to the folder they are in, or to one above it, are gathered but not entered;
    // a link elsewhere is walked.
    void linksBackIntoTheTreeAreNotWalked()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.makeDir("l/inner") && server.writeFile("m/mfile", "m"));
        QVERIFY(link(server, "l/self", ".") && link(server, "l/up", "..") && link(server, "l/top", "/")
                && link(server, "l/abs", "/l") && link(server, "l/inner/back", "../..")
                && link(server, "l/sib", "../m"));
        storeSite(server.port());

        RecordingBuild build;
        QVERIFY(ListInfo::StartTreeBuild(*pool_, Site, {QStringLiteral("/l/")}, false, false, true, &build));
        QTRY_COMPARE_WITH_TIMEOUT(build.finishedCount, 1, Bound);

        const auto self = paneA_.entry(QStringLiteral("/l/"), QStringLiteral("self"));
        QVERIFY(self);
        QCOMPARE(self->kind, ListingEntry::Link);
        QCOMPARE(self->linkTarget, QStringLiteral("."));

        QCOMPARE(build.stops.size(), 5);
        for (const char *stopped : {"/l/self ", "/l/up ", "/l/top ", "/l/abs ", "/l/inner/back "}) {
            QVERIFY2(build.stops.filter(QLatin1String(stopped)).size() == 1, qPrintable(build.stops.join('\n')));
            QCOMPARE(sent(server, QStringLiteral("CWD ") + QLatin1String(stopped).trimmed()), 0);
        }
        QVERIFY(build.stops.filter(QStringLiteral("it was not entered")).size() == 5);
        QCOMPARE(build.cutShort, 0); // a link back holds nothing the walk lacks
        QCOMPARE(sent(server, QStringLiteral("CWD /l/sib")), 1);
        QVERIFY(build.items.contains(QStringLiteral("/l/sib/mfile (1)")));
        QVERIFY(build.items.contains(QStringLiteral("DIR: /l/self (1)")));
        QCOMPARE(sorted(build.directories), (QStringList{"/l/", "/l/inner/", "/l/sib/"}));
    }

    void walkDepthIsBounded()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        const int levels = ListInfo::MaxDepth + 2;
        QString relative = QStringLiteral("deep");
        for (int i = 0; i < levels; ++i)
            relative += QStringLiteral("/d");
        QVERIFY(server.makeDir(relative));
        storeSite(server.port());

        RecordingBuild build;
        QVERIFY(ListInfo::StartTreeBuild(*pool_, Site, {QStringLiteral("/deep")}, false, false, true, &build));
        QTRY_COMPARE_WITH_TIMEOUT(build.finishedCount, 1, 60000);

        // The start and MaxDepth levels below it are listed; the next level is only gathered.
        QCOMPARE(build.directories.size(), ListInfo::MaxDepth + 1);
        QCOMPARE(build.items.size(), ListInfo::MaxDepth + 1);
        const QString deepest = QStringLiteral("/deep") + QStringLiteral("/d").repeated(ListInfo::MaxDepth);
        QCOMPARE(sent(server, QStringLiteral("CWD ") + deepest), 1);
        QCOMPARE(sent(server, QStringLiteral("CWD ") + deepest + QStringLiteral("/d")), 0);
        QCOMPARE(build.stops.size(), 1);
        QVERIFY2(build.stops.constFirst().startsWith(deepest + QStringLiteral("/d ")), qPrintable(build.stops.constFirst()));
        QVERIFY2(build.stops.constFirst().contains(QStringLiteral("more than 64 levels deep")),
                 qPrintable(build.stops.constFirst()));
        QCOMPARE(build.cutShort, 1); // the tree was not gathered whole
    }

    // A walk that is stopped lists nothing more and tells nobody.
    void cancelledWalk()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(makeTree(server));
        storeSite(server.port());

        RecordingBuild build;
        ListInfo *job = ListInfo::StartTreeBuild(*pool_, Site, {QStringLiteral("/t")}, false, false, true, &build);
        QVERIFY(job);
        job->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(paneA_.ended(QStringLiteral("/t/")), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(pool_->AllIdle(), Bound);
        QCOMPARE(listed(server), 1);
        QCOMPARE(build.directories, QStringList{"/t/"});
        QCOMPARE(build.finishedCount + build.abortedCount, 0);
    }

    // --- no connection ------------------------------------------------------------------------

    void noHostRecord_data()
    {
        QTest::addColumn<QString>("starter");
        QTest::newRow("listing") << "list";
        QTest::newRow("search") << "search";
        QTest::newRow("search on a new connection") << "searchNew";
        QTest::newRow("tree build") << "tree";
        QTest::newRow("cache build") << "cache";
    }

    void noHostRecord()
    {
        QFETCH(QString, starter);
        const QString host = QStringLiteral("nohost");
        SettingsStore::instance().deleteKey(SettingsKeys::hostKey(host));
        RecordingSearch search;
        RecordingBuild build;

        if (starter == u"list") {
            ListInfo::ListDirectory(*pool_, host, QStringLiteral("/"), &paneA_, false, true);
            QCOMPARE(paneA_.requested.size(), 1);
            QVERIFY(paneA_.events.isEmpty());
        } else if (starter.startsWith(u"search")) {
            ListInfo::SearchRequest request{host, QStringLiteral("/"), QStringLiteral("x"), true, true, false,
                                            starter == u"searchNew"};
            QVERIFY(!ListInfo::StartSearch(*pool_, request, &search));
            QCOMPARE(search.abortedCount, 1);
        } else if (starter == u"tree") {
            QVERIFY(!ListInfo::StartTreeBuild(*pool_, host, {QStringLiteral("/a")}, true, false, true, &build));
        } else {
            QVERIFY(!ListInfo::StartCacheBuild(*pool_, host, QStringLiteral("/"), true, &build));
        }
        QCOMPARE(prompt_.count(), 1);
        QCOMPARE(prompt_.lastText(), QStringLiteral("Couldn't Find Host Details"));
        QCOMPARE(search.finishedCount + build.finishedCount + build.abortedCount, 0);
        QVERIFY(!browse());
        QVERIFY(!pool_->connection(ConnectionManager::SingleUse, 0));
    }

    // A walk whose connection goes away is given up: what it gathered must not be acted on.
    void walkLosesItsConnection_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("own connection closed during a listing") << "closeHost";
        QTest::newRow("queue cleared before login") << "clearQueue";
    }

    void walkLosesItsConnection()
    {
        QFETCH(QString, how);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        storeSite(server.port());
        server.expectLogin();
        expectHeldListing(server, QStringLiteral("/t"), "drwxr-xr-x   2 u  g   4096 Jan  1  2020 sub\r\n");

        RecordingBuild build;
        const bool own = how == u"closeHost";
        QVERIFY(ListInfo::StartTreeBuild(*pool_, Site, {QStringLiteral("/t")}, true, own, true, &build));
        if (own) {
            QTRY_VERIFY_WITH_TIMEOUT(!paneA_.entries.isEmpty(), Bound); // sub is waiting to be walked
            pool_->CloseHost(Site);
        } else {
            QCOMPARE(pool_->ClearWaiting(Site), 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(build.abortedCount, 1, Bound);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(build.finishedCount, 0);
        QCOMPARE(build.abortedCount, 1);
        QCOMPARE(sent(server, QStringLiteral("CWD /t/sub")), 0);
    }

    // The program ends while a walk is under way: the pool goes first, and the walk with it.
    void poolEndsDuringWalk_data()
    {
        QTest::addColumn<bool>("newConnection");
        QTest::addColumn<bool>("closeAllFirst"); // the connection is retired but not yet deleted
        QTest::newRow("browse connection") << false << false;
        QTest::newRow("own connection") << true << false;
        QTest::newRow("browse connection, all closed just before") << false << true;
    }

    void poolEndsDuringWalk()
    {
        QFETCH(bool, newConnection);
        QFETCH(bool, closeAllFirst);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        storeSite(server.port());
        server.expectLogin();
        expectHeldListing(server, QStringLiteral("/t"), "drwxr-xr-x   2 u  g   4096 Jan  1  2020 sub\r\n");

        RecordingBuild build;
        QVERIFY(ListInfo::StartTreeBuild(*pool_, Site, {QStringLiteral("/t")}, false, newConnection, true, &build));
        QTRY_VERIFY_WITH_TIMEOUT(!paneA_.entries.isEmpty(), Bound); // sub is waiting to be walked
        if (closeAllFirst)
            pool_->CloseAll();
        pool_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(build.finishedCount, 0);
        QCOMPARE(build.abortedCount, 1);
        QTRY_VERIFY_WITH_TIMEOUT(!server.isClientConnected(), Bound);
        QCOMPARE(server.connectionCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestListInfo)
#include "tst_listinfo.moc"
