#pragma once

// What the benchmarks that run vsftpd share: a failure that ends the run, a free loopback port,
// and vsftpd started through bench/vsftpd-start.sh (VEMAL_BENCH_DIR names that folder).

#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace bench {

[[noreturn]] inline void fail(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::exit(1);
}

inline quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Starts vsftpd serving root on port and waits (bounded) until it answers; returns its pid.
inline qint64 startVsftpd(const QString &root, quint16 port)
{
    QProcess script;
    script.start(QStringLiteral(VEMAL_BENCH_DIR "/vsftpd-start.sh"), {root, QString::number(port)});
    if (!script.waitForFinished(10000) || script.exitCode() != 0)
        fail(QStringLiteral("vsftpd-start.sh failed: %1").arg(QString::fromLocal8Bit(script.readAllStandardError())));
    const qint64 pid = script.readAllStandardOutput().trimmed().toLongLong();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200))
            return pid;
        QThread::msleep(50);
    }
    ::kill(pid_t(pid), SIGTERM);
    fail(QStringLiteral("vsftpd did not start"));
}

} // namespace bench
