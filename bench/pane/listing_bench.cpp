// A folder of many entries listed over FTP into a pane, on screen and sorted, against
// `vemalftp-cli ls --refresh` of the same folder from the same vsftpd on loopback, alternating the
// two (A B A B ...); then the same folder shown again from the cache. Needs root (vsftpd).
//
// The windows side starts the whole program (FTPApp: frame, status bar, both panes; a fresh pool,
// so a fresh login as the command line has) and times, until pane 0's list holds every entry in
// sorted order and has been painted: the folder's first opening (its folders join both trees),
// Refresh, and the folder shown again from the cache (coming from "/").
// Run it with painting on:
//
//     Xvfb :71 -screen 0 1280x800x24 & DISPLAY=:71 openbox &
//     DISPLAY=:71 QT_QPA_PLATFORM=xcb build/bench/listing_bench [--entries 100000] [--rounds 5]
//         [--cli build/src/vemalftp-cli] [--view 0..3 (large icons, small icons, list, details)]
//         [--picture FILE.png (the window after the refresh)]

#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/Window.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "shell/CSplitter.h"
#include "shell/FTPApp.h"
#include "shell/FTPFrame.h"
#include "dialogs/DialogRunner.h"
#include "settings/HostRecord.h"
#include "settings/SettingsKeys.h"
#include "../BenchVsftpd.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QWindow>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

using bench::fail;
using bench::freePort;
using bench::startVsftpd;

class QuietPrompt : public Prompt
{
public:
    int ask(const QString &text, const QString &caption, Icon, int buttons) override
    {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(caption), qPrintable(text));
        return buttons & Yes ? Yes : (buttons & Ok ? Ok : Cancel);
    }
};

// Nothing should be asked: the store holds an address and a cache folder.
class NoDialogs : public DialogRunner
{
public:
    int run(QDialog &dialog) override
    {
        std::fprintf(stderr, "dialog: %s\n", qPrintable(dialog.windowTitle()));
        dialog.reject();
        return QDialog::Rejected;
    }
};

// Processor time (user + system) of this process or of its waited-for children, in seconds.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The entries are named so that the server's order (by name) differs from the sorted list's
// (folders first): "dir-…" for every tenth, "file-…" for the others.
QString entryName(int i)
{
    return QStringLiteral("%1-%2").arg(i % 10 ? "file" : "dir").arg(i, 6, 10, QLatin1Char('0'));
}

// True once the list holds every entry, sorted: folders first (the first item is a "dir-",
// the one after the last folder a "file-"), names ascending at both ends.
bool listDone(const FileWindow *list, int count)
{
    const int rows = list->view()->model()->rowCount();
    if (rows != count)
        return false;
    const int folders = (count + 9) / 10;
    return list->itemText(0) == entryName(0) && list->itemText(folders - 1) == entryName((folders - 1) * 10)
        && list->itemText(folders) == entryName(1) && list->itemText(count - 1) == entryName(count - 1 - ((count - 1) % 10 == 0));
}

// Runs the event loop until the list is done (after it was seen incomplete, with
// seenIncomplete), then paints it; the seconds since timer started.
double waitShown(const Window *pane, int count, QElapsedTimer &timer, bool seenIncomplete = true)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!listDone(pane->list(), count))
            seenIncomplete = true;
        else if (seenIncomplete)
            loop.quit();
    });
    poll.start(2);
    QTimer::singleShot(120000, &loop, [] { fail(QStringLiteral("the list was not shown within 2 minutes")); });
    loop.exec();
    pane->list()->view()->viewport()->repaint();
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e9;
}

struct Setup
{
    HostRecord host;
    QString cli, url;
    int count = 0;
    int style = FileWindow::Details;
    QString picture; // where the frame's picture after the refresh goes, if anywhere
};

// The whole program: frame, menus, status bar and both panes.
struct Program
{
    QuietPrompt prompt;
    NoDialogs dialogs;
    std::unique_ptr<FTPApp> app;
    Window *pane = nullptr;
};

std::unique_ptr<Program> startProgram(const Setup &setup)
{
    auto program = std::make_unique<Program>();
    program->app = std::make_unique<FTPApp>(program->prompt, program->dialogs);
    program->app->start();
    program->app->frame()->resize(1280, 760);
    program->pane = program->app->splitter()->pane(0);
    program->pane->SetListStyle(setup.style);
    QElapsedTimer bound;
    bound.start();
    while (!program->app->frame()->windowHandle()->isExposed() && bound.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return program;
}

struct Times
{
    double opened = 0, refreshed = 0, cached = 0;
    double refreshCpu = 0; // processor time of the program during the refresh
};

// The folder is opened (listed over FTP: the list fills and both trees gain its folders), then
// refreshed; then "/" is shown and the folder again, from the cache.
Times windowsRound(const Setup &setup)
{
    std::unique_ptr<Program> program = startProgram(setup);
    Window *pane = program->pane;
    const QString folder = QStringLiteral("/many/");
    Times times;
    QElapsedTimer timer;
    timer.start();
    for (Window *each : Window::panesOf(program->app->pool()))
        each->tree()->GoToLocation(setup.host.name, folder, false);
    pane->tree()->selectedByMouse = true;
    pane->tree()->GoToLocation(setup.host.name, folder, true);
    times.opened = waitShown(pane, setup.count, timer);

    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    timer.restart();
    pane->handleCommand(Cmd::RefreshCurrent);
    times.refreshed = waitShown(pane, setup.count, timer, false);
    times.refreshCpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    if (!setup.picture.isEmpty())
        program->app->frame()->grab().save(setup.picture);

    pane->tree()->selectedByMouse = true;
    pane->tree()->GoToLocation(setup.host.name, QStringLiteral("/"), true);
    QCoreApplication::processEvents();
    timer.restart();
    pane->tree()->selectedByMouse = true;
    pane->tree()->GoToLocation(setup.host.name, folder, true);
    times.cached = waitShown(pane, setup.count, timer);
    program->app->frame()->close();
    program.reset();
    QCoreApplication::processEvents();
    return times;
}

double cliRound(const Setup &setup, double *cpu)
{
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QProcess cli;
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cli.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    cli.start(setup.cli, {setup.url, QStringLiteral("ls"), QStringLiteral("--refresh"), QStringLiteral("/many/")});
    if (!cli.waitForFinished(120000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        fail(QStringLiteral("vemalftp-cli failed (%1)").arg(cli.exitCode()));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    *cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Setup setup;
    setup.count = 100000;
    int rounds = 5;
    setup.cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/vemalftp-cli");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--entries"))
            setup.count = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rounds"))
            rounds = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--view"))
            setup.style = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--picture"))
            setup.picture = args[i + 1];
        else if (args[i] == QLatin1String("--cli"))
            setup.cli = args[i + 1];
        else
            fail(QStringLiteral("unknown option %1").arg(args[i]));
    }
    if (!QFileInfo(setup.cli).isExecutable())
        fail(QStringLiteral("no command line at %1 (--cli)").arg(setup.cli));
    setup.cli = QFileInfo(setup.cli).absoluteFilePath();

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/vemal-listing-bench-XXXXXX"));
    const QDir dir(work.path());
    for (const char *sub : {"root/many", "config", "cache"})
        dir.mkpath(QLatin1String(sub));
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("HOME", dir.path().toUtf8());
    for (int i = 0; i < setup.count; ++i) {
        const QString path = dir.filePath(QStringLiteral("root/many/") + entryName(i));
        if (i % 10 == 0)
            dir.mkpath(path);
        else
            QFile(path).open(QIODevice::WriteOnly);
    }

    const quint16 port = freePort();
    const qint64 vsftpd = startVsftpd(dir.filePath(QStringLiteral("root")), port);
    setup.url = QStringLiteral("ftp://127.0.0.1:%1").arg(port);
    setup.host.name = QStringLiteral("bench");
    setup.host.address = QStringLiteral("127.0.0.1");
    setup.host.port = QString::number(port);
    setup.host.userName = QStringLiteral("anonymous");
    setup.host.password = QStringLiteral("bench@example.com");
    setup.host.startPath = QStringLiteral("/");
    // The panes find the host in the store, as the user's hosts are found.
    SettingsStore &store = SettingsStore::instance();
    SetAppValue(QStringLiteral("EMail"), QStringLiteral("bench@example.org"));
    SetAppValue(QStringLiteral("CachePath"), QStringLiteral("C:\\cache\\"));
    store.createKey(SettingsKeys::Hosts); // no starter hosts
    const QString key = SettingsKeys::hostKey(setup.host.name);
    store.createKey(key);
    store.setValue(key, QStringLiteral("Address"), setup.host.address);
    store.setValue(key, QStringLiteral("Port"), setup.host.port);
    store.setValue(key, QStringLiteral("Parent"), QStringLiteral("0"));
    store.setValue(key, QStringLiteral("This"), QStringLiteral("0"));

    std::printf("platform %s, %d entries, %d rounds, list style %d\n", qPrintable(QGuiApplication::platformName()),
                setup.count, rounds, setup.style);
    double cpu = 0;
    cliRound(setup, &cpu); // the server's first listing of the folder reads the disk
    std::vector<double> opened, refreshed, cached, cli, openRatios, refreshRatios;
    for (int i = 0; i < rounds; ++i) {
        const bool cliFirst = i % 2;
        double c = 0;
        Times w;
        if (cliFirst) {
            c = cliRound(setup, &cpu);
            w = windowsRound(setup);
        } else {
            w = windowsRound(setup);
            c = cliRound(setup, &cpu);
        }
        opened.push_back(w.opened);
        refreshed.push_back(w.refreshed);
        cached.push_back(w.cached);
        cli.push_back(c);
        openRatios.push_back(w.opened / c);
        refreshRatios.push_back(w.refreshed / c);
        std::printf("round %d: cli %.3f s (cpu %.2f s); pane: opened %.3f s (%.2f), refreshed %.3f s (%.2f, cpu %.2f s), "
                    "from the cache %.3f s\n",
                    i + 1, c, cpu, w.opened, openRatios.back(), w.refreshed, refreshRatios.back(), w.refreshCpu,
                    w.cached);
        std::fflush(stdout);
    }
    const auto range = [](const std::vector<double> &values) {
        return QStringLiteral("%1-%2")
            .arg(*std::min_element(values.begin(), values.end()), 0, 'f', 2)
            .arg(*std::max_element(values.begin(), values.end()), 0, 'f', 2);
    };
    std::printf("median: cli %.3f s; pane/cli: opened %.2f (%s), refreshed %.2f (%s); from the cache %.3f s\n",
                median(cli), median(openRatios), qPrintable(range(openRatios)), median(refreshRatios),
                qPrintable(range(refreshRatios)), median(cached));
    ::kill(pid_t(vsftpd), SIGTERM);
    return 0;
}
