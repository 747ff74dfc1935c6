#pragma once

// Helpers for tests that replay a script on ScriptedFtpServer and check the client's transcript.

#include "EngineRecorders.h"

#include "support/ScriptedFtpServer.h"

#include <QRegularExpression>

// What a failure box adds when the host refused active mode.
inline const QString ActiveRefusedHint =
    QStringLiteral("\n\nThe host refused an active-mode data connection (PORT). Passive mode may work: choose "
                   "Passive (PASV) under Data Connection in the host's options.");

inline const QString PortPattern = QStringLiteral("PORT 127,0,0,1,\\d{1,3},\\d{1,3}");
inline const QString PortShown = QStringLiteral("PORT 127,0,0,1,p1,p2");

// What the server sends for "RETR name": distinct per name, long enough to span several reads.
inline QByteArray contentOf(const QString &name)
{
    int seed = 0;
    for (const QChar ch : name)
        seed = seed * 31 + ch.unicode();
    return patternBytes(70000, seed & 0xff);
}

inline const QByteArray SmallListing = "total 3\r\n"
                                       "drwxr-xr-x 2 u g 4096 Jan  5  2020 pub\r\n"
                                       "-rw-r--r-- 1 u g 1234 Mar 10  2021 a.txt\r\n"
                                       "lrwxrwxrwx 1 u g 7 Jun  1  2019 bin -> usr/bin\r\n";

// The script of one operation, one exchange a line: "COMMAND => reply", or for a transfer command
// "COMMAND => reply => reply after the data". After RETR the server sends contentOf(name), after
// LIST or MLSD the listing given; after STOR or STOU it takes what the client sends. "PORT" stands
// for any PORT to 127.0.0.1. A reply holding "{pasv}", "{p1p2}" or "{port}" opens a passive-mode listener
// whose port it names there (see ScriptedFtpServer::Step::openPassive).
inline void addScript(ScriptedFtpServer &server, const QStringList &script, const QByteArray &listing = SmallListing)
{
    for (const QString &line : script) {
        const QStringList parts = line.split(QStringLiteral(" => "));
        const QString command = parts.at(0);
        const QByteArray reply = parts.value(1).toUtf8() + "\r\n";
        ScriptedFtpServer::Step &step =
            command == QLatin1String("PORT") ? server.expectRegex(PortPattern, reply) : server.expect(command, reply);
        if (reply.contains("{pasv}") || reply.contains("{p1p2}") || reply.contains("{port}"))
            step.openPassive();
        if (parts.size() < 3)
            continue;
        const QByteArray after = parts.at(2).toUtf8() + "\r\n";
        if (command.startsWith(QLatin1String("RETR ")))
            step.sendData(contentOf(command.mid(5)), after);
        else if (command == QLatin1String("LIST") || command == QLatin1String("MLSD"))
            step.sendData(listing, after);
        else
            step.receiveData(after);
    }
}

inline QStringList commandsOf(const QStringList &script)
{
    QStringList out;
    for (const QString &line : script) {
        const QString command = line.section(QStringLiteral(" => "), 0, 0);
        out << (command == QLatin1String("PORT") ? PortShown : command);
    }
    return out;
}

// The transcript after USER and PASS, with the PORT argument's port numbers masked.
inline QStringList afterLogin(const ScriptedFtpServer &server)
{
    static const QRegularExpression port(QRegularExpression::anchoredPattern(PortPattern));
    QStringList out = server.transcript().mid(2);
    for (QString &line : out)
        if (port.match(line).hasMatch())
            line = PortShown;
    return out;
}

