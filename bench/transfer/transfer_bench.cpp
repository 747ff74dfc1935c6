// A download through the windows against `vemalftp-cli get` of the same file from the same vsftpd on
// loopback, alternating the two (A B A B ...), and the median of their throughput ratios.
//
// The windows side goes the way a pane's transfer arrow goes: TransferDestinationDialog::start with
// "This Connection" preset, so the real TransferDialog is open and redrawing during the download;
// it is timed from that call until the dialog's stack has ended and the file has its full size.
// The command line is timed as a process. Needs root (vsftpd) and vsftpd.
//
//     QT_QPA_PLATFORM=offscreen build-bench/bench/transfer_bench [--size-mib 1024] [--rounds 3]
//         [--cli build-bench/src/vemalftp-cli] [--dir /tmp]
//         [--order swap|windows-first|cli-first]

#include "dialogs/TransferDestinationDialog.h"
#include "dialogs/TransferDialog.h"
#include "dialogs/TransferRequest.h"
#include "platform/LocalDrives.h"
#include "platform/Prompt.h"
#include "platform/StatusLine.h"
#include "pool/ConnectionManager.h"
#include "pool/TransferStack.h"
#include "settings/HostRecord.h"
#include "settings/SettingsKeys.h"
#include "../BenchVsftpd.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <csignal>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

using bench::fail;
using bench::freePort;
using bench::startVsftpd;

// Every box is printed and counted; a round that shows one does not count.
class QuietPrompt : public Prompt
{
public:
    int ask(const QString &text, const QString &caption, Icon, int buttons) override
    {
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(caption), qPrintable(text));
        ++boxes;
        return buttons & Ok ? Ok : Cancel;
    }
    int boxes = 0;
};

class QuietStatus : public StatusLine
{
public:
    void showStatus(const QString &) override {}
};

struct Options
{
    int sizeMiB = 1024;
    int rounds = 3;
    QString cli;
    QString parent = QDir::tempPath();
    enum Order { Swap, WindowsFirst, CliFirst } order = Swap;
};

Options parseOptions(const QStringList &args)
{
    Options options;
    options.cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/vemalftp-cli");
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (i + 1 == args.size())
            fail(QStringLiteral("%1 needs a value").arg(arg));
        const QString value = args[++i];
        if (arg == QLatin1String("--size-mib"))
            options.sizeMiB = value.toInt();
        else if (arg == QLatin1String("--rounds"))
            options.rounds = value.toInt();
        else if (arg == QLatin1String("--cli"))
            options.cli = value;
        else if (arg == QLatin1String("--dir"))
            options.parent = value;
        else if (arg == QLatin1String("--order") && value == QLatin1String("windows-first"))
            options.order = Options::WindowsFirst;
        else if (arg == QLatin1String("--order") && value == QLatin1String("cli-first"))
            options.order = Options::CliFirst;
        else if (arg == QLatin1String("--order") && value == QLatin1String("swap"))
            options.order = Options::Swap;
        else
            fail(QStringLiteral("unknown option %1").arg(arg));
    }
    return options;
}

void writeRandomFile(const QString &path, int mib)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot write %1").arg(path));
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
    for (int i = 0; i < mib; ++i)
        file.write(chunk);
}

// Many closed sockets slow every later run: wait (bounded) until fewer than 1000 are left.
void settleTimeWait()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 60000) {
        QProcess ss;
        ss.start(QStringLiteral("ss"), {QStringLiteral("-tan"), QStringLiteral("state"), QStringLiteral("time-wait")});
        ss.waitForFinished();
        if (ss.readAllStandardOutput().count('\n') < 1000)
            return;
        QThread::msleep(500);
    }
}

// Processor time of this process or of its waited-for children, in seconds: user, system.
struct Cpu
{
    double user = 0, system = 0;
    Cpu operator-(const Cpu &o) const { return {user - o.user, system - o.system}; }
};

Cpu cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return {double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6,
            double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6};
}

struct Round
{
    double seconds = 0;
    Cpu cpu;
    int redraws = 0;
    int changes = 0;
};

struct Setup
{
    HostRecord host;
    QString outDir, cli, url;
    QProcessEnvironment env;
    qint64 size = 0;
};

QString downloaded(const Setup &setup)
{
    return setup.outDir + QStringLiteral("/big.bin");
}

void checkAndRemove(const Setup &setup, const char *who)
{
    const qint64 got = QFileInfo(downloaded(setup)).size();
    if (got != setup.size)
        fail(QStringLiteral("%1: downloaded %2 of %3 bytes").arg(QLatin1String(who)).arg(got).arg(setup.size));
    QFile::remove(downloaded(setup));
}

TransferDialog *openTransferDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<TransferDialog *>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// One download through the windows, with a fresh pool (so a fresh login, as the command line has).
Round windowsRound(const Setup &setup)
{
    QuietPrompt prompt;
    QuietStatus status;
    auto pool = std::make_unique<ConnectionManager>(prompt, status);
    pool->defineHost(setup.host);
    TransferRequest request;
    request.sourceHost = setup.host.name;
    request.sourceDirectory = QStringLiteral("/");
    request.files = {FileItem{QStringLiteral("big.bin"), setup.size, false}};
    request.destinationHost = SettingsKeys::MyComputer;
    request.destinationDirectory = toProgramPath(setup.outDir + QLatin1Char('/'));
    request.preset = 1;

    settleTimeWait();
    Round round;
    const Cpu cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    TransferDestinationDialog::start(nullptr, *pool, request);
    TransferDialog *dialog = openTransferDialog();
    if (!dialog)
        fail(QStringLiteral("no transfer window opened"));
    QEventLoop loop;
    QObject::connect(&dialog->stack(), &TransferStack::changed, &loop, [&round] { ++round.changes; });
    QObject::connect(&dialog->stack(), &TransferStack::ended, &loop, [&] {
        round.redraws = dialog->redraws();
        loop.quit();
    });
    QTimer::singleShot(600000, &loop, [] { fail(QStringLiteral("the download took over 10 minutes")); });
    loop.exec();
    const qint64 got = QFileInfo(downloaded(setup)).size();
    round.seconds = double(timer.nsecsElapsed()) / 1e9;
    round.cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    if (got != setup.size || prompt.boxes)
        fail(QStringLiteral("windows: %1 of %2 bytes, %3 boxes").arg(got).arg(setup.size).arg(prompt.boxes));
    QCoreApplication::processEvents(); // the window goes
    pool.reset();
    checkAndRemove(setup, "windows");
    return round;
}

Round cliRound(const Setup &setup)
{
    QProcess cli;
    cli.setProcessEnvironment(setup.env);
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cli.setStandardOutputFile(QProcess::nullDevice());
    const QStringList args{setup.url, QStringLiteral("get"), QStringLiteral("--replace"), QStringLiteral("/big.bin"),
                           setup.outDir};
    settleTimeWait();
    const Cpu cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    cli.start(setup.cli, args);
    if (!cli.waitForFinished(600000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        fail(QStringLiteral("vemalftp-cli failed (%1)").arg(cli.exitCode()));
    Round round;
    round.seconds = double(timer.nsecsElapsed()) / 1e9;
    round.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    checkAndRemove(setup, "cli");
    return round;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const Options options = parseOptions(app.arguments());
    if (!QFileInfo(options.cli).isExecutable())
        fail(QStringLiteral("no command line at %1 (--cli)").arg(options.cli));
    QTemporaryDir work(options.parent + QStringLiteral("/vemal-transfer-bench-XXXXXX"));
    const QDir dir(work.path());
    for (const char *sub : {"root", "out", "config", "cache"})
        dir.mkpath(QLatin1String(sub));
    // Both sides keep their settings and cache in the temporary folder.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());

    Setup setup;
    setup.size = qint64(options.sizeMiB) << 20;
    setup.outDir = dir.filePath(QStringLiteral("out"));
    setup.cli = QFileInfo(options.cli).absoluteFilePath();
    setup.env = QProcessEnvironment::systemEnvironment();
    writeRandomFile(dir.filePath(QStringLiteral("root/big.bin")), options.sizeMiB);
    QProcess::execute(QStringLiteral("sync")); // its writing out would fall into the first rounds

    const quint16 port = freePort();
    const qint64 vsftpd = startVsftpd(dir.filePath(QStringLiteral("root")), port);
    setup.url = QStringLiteral("ftp://127.0.0.1:%1").arg(port);
    setup.host.name = QStringLiteral("bench");
    setup.host.address = QStringLiteral("127.0.0.1");
    setup.host.port = QString::number(port);
    setup.host.userName = QStringLiteral("anonymous");
    setup.host.password = QStringLiteral("bench@example.com");
    setup.host.startPath = QStringLiteral("/");

    std::printf("platform %s, %d MiB, %d rounds\n", qPrintable(QGuiApplication::platformName()), options.sizeMiB,
                options.rounds);
    const double mib = options.sizeMiB;
    // The first 1 GiB written in a run lands in memory the machine has not touched for a while,
    // which is slow to write; an untimed download first, so that neither side's first round gets it.
    cliRound(setup);
    std::vector<double> windowsTimes, cliTimes, ratios;
    for (int i = 0; i < options.rounds; ++i) {
        // Whichever goes first in a round has a small edge here (up to 10 %): by default the
        // two take turns at going first (A B B A ...).
        const bool cliFirst = options.order == Options::CliFirst || (options.order == Options::Swap && i % 2);
        Round w, c;
        if (cliFirst) {
            c = cliRound(setup);
            w = windowsRound(setup);
        } else {
            w = windowsRound(setup);
            c = cliRound(setup);
        }
        windowsTimes.push_back(w.seconds);
        cliTimes.push_back(c.seconds);
        ratios.push_back(c.seconds / w.seconds);
        std::printf("round %d: windows %.3f s (%.0f MiB/s, user %.2f s, sys %.2f s, %d redraws of %d changes), "
                    "cli %.3f s (%.0f MiB/s, user %.2f s, sys %.2f s), ratio %.3f\n",
                    i + 1, w.seconds, mib / w.seconds, w.cpu.user, w.cpu.system, w.redraws, w.changes, c.seconds, mib / c.seconds,
                    c.cpu.user, c.cpu.system, ratios.back());
        std::fflush(stdout);
    }
    std::printf("median: windows %.0f MiB/s, cli %.0f MiB/s, ratio windows/cli %.3f\n", mib / median(windowsTimes),
                mib / median(cliTimes), median(ratios));
    ::kill(pid_t(vsftpd), SIGTERM);
    return 0;
}
