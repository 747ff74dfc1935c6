// Replays a cached directory of 100 000 entries into a pane (list filled and sorted, both trees
// updated), then re-sorts it by each key, and reports times and the memory the pane took.
//
//     cmake -S . -B build-bench -G Ninja -DVEMAL_BENCH=ON && cmake --build build-bench --target pane_bench
//     QT_QPA_PLATFORM=offscreen build-bench/bench/pane/pane_bench [entries]

#include "ftp/CacheWriter.h"
#include "ftp/ListingEntry.h"
#include "ftp/PackedDateTime.h"
#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/Window.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "platform/StatusLine.h"
#include "pool/ConnectionManager.h"
#include "settings/SettingsKeys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {

class QuietPrompt : public Prompt
{
public:
    int ask(const QString &text, const QString &caption, Icon, int) override
    {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(caption), qPrintable(text));
        return Ok;
    }
};

class QuietStatus : public StatusLine
{
public:
    void showStatus(const QString &) override {}
};

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

double msSince(QElapsedTimer &timer)
{
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return ms;
}

// Shows the list and lets it lay out and paint, as the user would see it.
void settle(Window *pane)
{
    pane->list()->itemCount();
    pane->repaint();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("HOME", dir.path().toUtf8());

    const QString host = QStringLiteral("bench");
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(host);
    store.createKey(key);
    store.setValue(key, QStringLiteral("Address"), QStringLiteral("127.0.0.1"));
    store.setValue(key, QStringLiteral("CacheType"), QStringLiteral("2"));
    store.setValue(key, QStringLiteral("Parent"), QStringLiteral("0"));
    store.setValue(key, QStringLiteral("This"), QStringLiteral("0"));

    QuietPrompt prompt;
    QuietStatus status;
    ConnectionManager pool(prompt, status);
    const QString directory = QStringLiteral("/big/");
    pool.cache().Lookup(host, directory, false);
    CacheWriter writer;
    if (!writer.open(pool.cache().GetFilePath())) {
        std::fprintf(stderr, "cannot write the cache file\n");
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        ListingEntry entry;
        const bool folder = i % 10 == 0;
        entry.kind = folder ? ListingEntry::Directory : ListingEntry::File;
        entry.name = folder ? QStringLiteral("Folder_%1").arg((i * 7919) % count, 6, 10, QLatin1Char('0'))
                            : QStringLiteral("file-%1.%2").arg((i * 7919) % count).arg(i % 3 ? "dat" : "txt");
        entry.size = quint64(i) * 37 % 5000000;
        entry.dateTime = PackedDateTime::pack(2000 + i % 25, 1 + i % 12, 1 + i % 28, i % 24, i % 60);
        writer.append(entry);
    }
    writer.close();

    QWidget frame;
    frame.resize(1200, 800);
    auto *pane1 = new Window(&frame, 1, &pool);
    auto *pane0 = new Window(&frame, 0, &pool);
    pool.addPane(pane0);
    pool.addPane(pane1);
    pane0->setGeometry(0, 0, 600, 800);
    pane1->setGeometry(603, 0, 597, 800);
    pane0->handleCommand(Cmd::ShowTree);
    frame.show();
    QCoreApplication::processEvents();
    // Both trees know the host's /big/ node, as after browsing there once.
    pane1->tree()->GoToLocation(host, directory, false);
    pane0->tree()->GoToLocation(host, directory, false);
    settle(pane0);
    const long before = rssKiB();

    QElapsedTimer timer;
    timer.start();
    pane0->tree()->selectedByMouse = true;
    pane0->tree()->GoToLocation(host, directory, true);
    settle(pane0);
    const double fill = msSince(timer);
    const long after = rssKiB();
    const int shown = pane0->list()->itemCount();
    const int nodes = pane0->tree()->findLocationNode(host, directory)
                          ? pane0->tree()->findLocationNode(host, directory)->childCount()
                          : -1;

    QTextStream out(stdout);
    out << "entries " << count << ", items shown " << shown << ", tree nodes " << nodes << "\n";
    out << "replay into the pane (list filled and sorted, trees updated): " << fill << " ms\n";
    for (const auto &[id, name] : {std::pair{Cmd::BySize, "size"}, std::pair{Cmd::ByDate, "date"},
                                   std::pair{Cmd::ByType, "type"}, std::pair{Cmd::Descending, "descending"},
                                   std::pair{Cmd::ByName, "name"}}) {
        timer.restart();
        pane0->handleCommand(id);
        settle(pane0);
        out << "re-sort by " << name << ": " << msSince(timer) << " ms\n";
    }
    out << "memory for the pane's listing: " << (after - before) / 1024.0 << " MiB above the empty pane\n";
    return 0;
}
