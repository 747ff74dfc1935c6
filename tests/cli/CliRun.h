#pragma once

// Running the real vemalftp-cli from a test, and small helpers over real files for checking what it
// did on both sides.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

struct CliResult
{
    int exitCode = -1; // -1: it did not finish, or it crashed
    QString out;
    QString err;
    QByteArray outBytes; // stdout and stderr as the program wrote them
    QByteArray errBytes;
};

enum class CliWait {
    Blocking,  // the test's own event loop is not needed while the command runs
    EventLoop, // a ScriptedFtpServer in this process must answer while the command runs; its
               // scripts use PORT, so the run is in active mode (--active)
};

// Runs vemalftp-cli with args and no terminal on stdin, for at most 30 s.
inline CliResult runCli(QStringList args, CliWait wait = CliWait::Blocking)
{
    if (wait == CliWait::EventLoop)
        args.prepend(QStringLiteral("--active"));
    QProcess cli;
    QSignalSpy finished(&cli, &QProcess::finished);
    cli.start(QStringLiteral(VEMAL_CLI_PATH), args);
    cli.closeWriteChannel();
    const bool ended = wait == CliWait::EventLoop ? (finished.count() > 0 || finished.wait(30000))
                                                  : cli.waitForFinished(30000);
    CliResult result;
    if (!ended) {
        cli.kill();
        cli.waitForFinished(5000);
    }
    result.outBytes = cli.readAllStandardOutput();
    result.errBytes = cli.readAllStandardError();
    result.out = QString::fromUtf8(result.outBytes);
    result.err = QString::fromUtf8(result.errBytes);
    if (!ended)
        result.err += QStringLiteral("\n[vemalftp-cli did not finish within 30 s]");
    else if (cli.exitStatus() != QProcess::NormalExit)
        result.err += QStringLiteral("\n[vemalftp-cli crashed]");
    else
        result.exitCode = cli.exitCode();
    return result;
}

inline QByteArray describe(const QStringList &args, const CliResult &result)
{
    // Qt Test cuts long messages from the end; the end of the output is what says why.
    constexpr qsizetype Shown = 500;
    const auto tail = [](const QString &text) {
        return text.size() > Shown ? QStringLiteral("…") + text.right(Shown) : text;
    };
    return QStringLiteral("vemalftp-cli %1\nexit %2\n--- stdout:\n%3--- stderr:\n%4")
        .arg(args.join(QLatin1Char(' ')))
        .arg(result.exitCode)
        .arg(tail(result.out), tail(result.err))
        .toUtf8();
}

// Runs the command and checks its exit status; the command and its output show when it differs.
#define CLI_RUN(result, expectedExit, ...)                                                                   \
    const QStringList result##Args{__VA_ARGS__};                                                             \
    const CliResult result = runCli(result##Args);                                                           \
    QVERIFY2(result.exitCode == (expectedExit), describe(result##Args, result).constData())

inline QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

inline bool writeLocal(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

inline QByteArray readLocal(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything below a folder, links not followed: relative path -> file content, "<dir>" for a
// folder, "<link>" for a link. Two trees compare equal only when they hold the same folders (empty
// ones too) and the same files byte for byte.
inline QMap<QString, QByteArray> treeSnapshot(const QString &folder)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        const QString relative = QDir(folder).relativeFilePath(info.filePath());
        if (info.isSymLink())
            tree.insert(relative, "<link>");
        else if (info.isDir())
            tree.insert(relative, "<dir>");
        else
            tree.insert(relative, readLocal(info.filePath()));
    }
    return tree;
}

// A loopback port that nothing listens on (it was free a moment ago).
inline quint16 unusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
