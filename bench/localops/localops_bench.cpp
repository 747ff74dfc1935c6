// The local copy and delete window against cp -r and rm -rf: a tree of 10 000 files of 4 KiB in
// 100 folders is copied by CFileOp and by cp -r, then each copy is deleted, by CFileOp and by
// rm -rf; the two alternate, the one that goes first changing every round. Prints each round and the median ratio
// (their time / ours: above 1 = we are faster; the target is 0.8 or more).
//
//   build-bench/bench/localops_bench [--rounds R] [--folders F] [--files N] [--size BYTES] [--dir PARENT]
//
// Runs offscreen unless a display is set. Dirty pages are written out (sync) before every timed
// step, so no step pays for the one before it.

#include "dialogs/CFileOp.h"
#include "platform/Prompt.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {

class CountingPrompt : public Prompt
{
public:
    int ask(const QString &text, const QString &, Icon, int buttons) override
    {
        std::fprintf(stderr, "asked: %s\n", qPrintable(text));
        ++count;
        return buttons & No ? No : Ok;
    }
    int count = 0;
};

bool makeTree(const QString &root, int folders, int files, int size)
{
    const QByteArray data(size, 'x');
    for (int folder = 0; folder < folders; ++folder) {
        const QString dir = QStringLiteral("%1/d%2").arg(root).arg(folder, 3, 10, QLatin1Char('0'));
        if (!QDir().mkpath(dir))
            return false;
        for (int file = 0; file < files / folders; ++file) {
            QFile out(QStringLiteral("%1/f%2.dat").arg(dir).arg(file, 5, 10, QLatin1Char('0')));
            if (!out.open(QIODevice::WriteOnly) || out.write(data) != size)
                return false;
        }
    }
    return true;
}

// Seconds for one CFileOp from its start to its finished.
double timeOurs(CountingPrompt &prompt, const QString &name, const QString &sourceDir, const QString &destDir)
{
    ::sync();
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    CFileOp::copy(nullptr, prompt, {name}, sourceDir, destDir, [&loop] { loop.quit(); });
    loop.exec();
    return clock.nsecsElapsed() / 1e9;
}

double timeTheirs(const QString &program, const QStringList &arguments)
{
    ::sync();
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
    return clock.nsecsElapsed() / 1e9;
}

// Untimed: the two copies hold the same (diff prints what differs).
bool sameTrees(const QString &a, const QString &b)
{
    QProcess diff;
    diff.setProcessChannelMode(QProcess::ForwardedChannels);
    diff.start("diff", {"-r", "--no-dereference", a, b});
    return diff.waitForFinished(-1) && diff.exitStatus() == QProcess::NormalExit && diff.exitCode() == 0;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"rounds", "rounds", "n", "5"}, {"folders", "folders", "n", "100"},
                       {"files", "files in all", "n", "10000"}, {"size", "bytes a file", "n", "4096"},
                       {"dir", "parent of the temporary folder", "path", QDir::tempPath()}});
    parser.process(app);
    const int rounds = parser.value("rounds").toInt();

    QTemporaryDir dir(parser.value("dir") + "/localops-bench-XXXXXX");
    const QString root = dir.path();
    if (!dir.isValid() || !makeTree(root + "/src", parser.value("folders").toInt(), parser.value("files").toInt(),
                                    parser.value("size").toInt())) {
        std::fprintf(stderr, "can't make the source tree in %s\n", qPrintable(root));
        return 1;
    }
    QDir().mkpath(root + "/ours");
    QDir().mkpath(root + "/theirs");
    CountingPrompt prompt;
    QList<double> copyRatios, deleteRatios;
    std::printf("round  copy: ours   cp -r   ratio   delete: ours  rm -rf   ratio\n");
    for (int round = 1; round <= rounds; ++round) {
        // Who goes first changes every round, so that neither always follows the other's writes.
        const bool oursFirst = round % 2 == 1;
        double copyOurs = 0, copyTheirs = 0, deleteOurs = 0, deleteTheirs = 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == oursFirst)
                copyOurs = timeOurs(prompt, "src", root + "/", root + "/ours/");
            else
                copyTheirs = timeTheirs("cp", {"-r", root + "/src", root + "/theirs/src"});
        }
        if (round == 1 && !sameTrees(root + "/ours/src", root + "/theirs/src"))
            return 1;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == oursFirst)
                deleteOurs = timeOurs(prompt, "src", root + "/ours/", QString());
            else
                deleteTheirs = timeTheirs("rm", {"-rf", root + "/theirs/src"});
        }
        copyRatios << copyTheirs / copyOurs;
        deleteRatios << deleteTheirs / deleteOurs;
        std::printf("%5d  %9.3fs %7.3fs %7.2f   %11.3fs %7.3fs %7.2f\n", round, copyOurs, copyTheirs,
                    copyRatios.last(), deleteOurs, deleteTheirs, deleteRatios.last());
    }
    std::printf("median ratio (their time / ours): copy %.2f, delete %.2f\n", median(copyRatios), median(deleteRatios));
    if (prompt.count != 0 || QDir(root + "/ours/src").exists())
        std::fprintf(stderr, "unexpected: %d boxes, copy left behind\n", prompt.count);
    return prompt.count == 0 ? 0 : 1;
}
