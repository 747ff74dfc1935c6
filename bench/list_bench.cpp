// The file list with a long listing: a details view shown offscreen is filled with entries (one in
// ten a directory), sorted by name, then re-sorted by size, date, type and in descending order.
// Prints the median time of each step, including the view catching up, and the most memory the
// filled list took above an empty one.
//
//     list_bench [--entries N] [--rounds R] [--view 0..3]
#include "ftp/PackedDateTime.h"
#include "panes/FileWindow.h"
#include "platform/SettingsStore.h"
#include "settings/AsciiExtensions.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Resident memory of this process in KiB, from /proc/self/status.
long residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// A small fixed-seed generator, so that every run lists the same entries.
struct Random
{
    quint64 state = 0x2545F4914F6CDD1Dull;
    quint32 next(quint32 bound)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return quint32(state >> 33) % bound;
    }
};

struct Entry
{
    QString name;
    quint64 size;
    quint32 date;
    int kind;
};

// Names as real folders hold them: camera pictures, reports, libraries, sources, dot files.
std::vector<Entry> makeEntries(int count)
{
    static const char *const stems[] = {"IMG_", "report-", "libfoo.so.", "Chapter ", "backup_", "notes",
                                        "main", "data.", ".config", "README", "photo-", "setup"};
    static const char *const extensions[] = {".jpg", ".pdf", "", ".txt", ".tar.gz", ".c", ".H", ".mp3",
                                             ".Doc", ".html", ".iso", ".log"};
    Random random;
    std::vector<Entry> entries;
    entries.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const bool directory = i % 10 == 0;
        QString name = QString::fromLatin1(stems[random.next(12)]) + QString::number(random.next(1000000));
        if (!directory)
            name += QString::fromLatin1(extensions[random.next(12)]);
        const quint64 size = directory ? 4096 : quint64(random.next(1u << 30)) * (1 + random.next(8));
        const quint32 date = PackedDateTime::pack(1995 + int(random.next(30)), 1 + int(random.next(12)),
                                                  1 + int(random.next(28)), int(random.next(24)),
                                                  int(random.next(60)), int(random.next(60)));
        entries.push_back({name, size, date, directory ? FileWindow::KindDirectory : FileWindow::KindFile});
    }
    return entries;
}

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

template<typename Step>
double timed(Step step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    QCoreApplication::processEvents();
    return elapsedMs(timer);
}

struct Round
{
    double fillSort = 0;
    std::vector<double> resorts;
    long growthKib = 0;
};

Round runRound(const std::vector<Entry> &entries, int style)
{
    Round round;
    auto list = std::make_unique<FileWindow>(nullptr, true, style);
    list->resize(800, 600);
    list->show();
    QCoreApplication::processEvents();
    const long before = residentKib();
    round.fillSort = timed([&] {
        for (const Entry &entry : entries)
            list->AddListItem(entry.name, entry.size, entry.date, entry.kind);
        list->SortList(FileWindow::SortName, false, 0);
    });
    const struct { int key; int direction; } resorts[] = {
        {FileWindow::SortSize, 0}, {FileWindow::SortDate, 0}, {FileWindow::SortType, 0},
        {FileWindow::KeepKey, 2}, {FileWindow::SortName, 0}};
    for (const auto &resort : resorts)
        round.resorts.push_back(timed([&] { list->SortList(resort.key, false, resort.direction); }));
    round.growthKib = residentKib() - before;
    return round;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A settings store of its own with a few text extensions, so the user's settings stay untouched.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("entries"), QStringLiteral("Entries listed."), QStringLiteral("N"),
                      QStringLiteral("100000")});
    parser.addOption({QStringLiteral("rounds"), QStringLiteral("Rounds (medians are printed)."),
                      QStringLiteral("R"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("view"), QStringLiteral("View style 0..3 (3 details)."), QStringLiteral("S"),
                      QStringLiteral("3")});
    parser.process(app);
    SettingsStore::reopen();
    for (const char *extension : {"txt", "c", "h", "html", "log"})
        AddAsciiExtension(QString::fromLatin1(extension));

    const int count = parser.value(QStringLiteral("entries")).toInt();
    const int rounds = qMax(1, parser.value(QStringLiteral("rounds")).toInt());
    const std::vector<Entry> entries = makeEntries(count);
    const char *const names[] = {"size", "date", "type", "descending", "name"};
    std::vector<double> fillSort;
    std::vector<std::vector<double>> resorts(std::size(names));
    std::vector<double> growth;
    for (int r = 0; r < rounds; ++r) {
        const Round round = runRound(entries, parser.value(QStringLiteral("view")).toInt());
        fillSort.push_back(round.fillSort);
        for (size_t i = 0; i < round.resorts.size(); ++i)
            resorts[i].push_back(round.resorts[i]);
        growth.push_back(double(round.growthKib));
    }
    std::printf("entries %d, view style %s, median of %d rounds\n", count,
                qPrintable(parser.value(QStringLiteral("view"))), rounds);
    std::printf("fill + sort by name   %8.1f ms   (target < 500)\n", median(fillSort));
    for (size_t i = 0; i < std::size(names); ++i)
        std::printf("re-sort %-12s   %8.1f ms   (target < 300)\n", names[i], median(resorts[i]));
    std::printf("RSS growth (largest)  %8.1f MiB  (target < 100)\n",
                *std::max_element(growth.begin(), growth.end()) / 1024.0);
    return 0;
}
