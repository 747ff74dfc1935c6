#pragma once

// Recording stand-ins for what the engine reports to: a browser pane and a listing job. Shared by
// the engine's operation and transfer tests.

#include "ftp/ListingEntry.h"
#include "ftp/ListingJob.h"
#include "ftp/PaneView.h"
#include "pool/TransferStack.h"
#include "settings/HostRecord.h"

#include <QFile>
#include <QList>
#include <QStringList>

// Keeps every listing and every change an operation reports, one line of text per event.
class RecordingPane : public PaneView
{
public:
    void listingStarted(const QString &host, const QString &directory, int listingId) override
    {
        events << QStringLiteral("started %1 %2 %3").arg(host, directory).arg(listingId);
    }
    void listingEntry(const QString &, const QString &, const ListingEntry &entry) override { entries << entry; }
    void listingEnded(const QString &host, const QString &directory, bool complete) override
    {
        events << QStringLiteral("ended %1 %2 %3").arg(host, directory, complete ? "complete" : "incomplete");
    }
    void entryRemoved(const QString &host, const QString &directory, const QString &name) override
    {
        events << QStringLiteral("removed %1 %2%3").arg(host, directory, name);
    }
    void entryRenamed(const QString &host, const QString &directory, const QString &oldName,
                      const QString &newName) override
    {
        events << QStringLiteral("renamed %1 %2%3 %4").arg(host, directory, oldName, newName);
    }
    void directoryCreated(const QString &host, const QString &parent, const QString &name) override
    {
        events << QStringLiteral("created %1 %2%3").arg(host, parent, name);
    }

    QStringList names() const
    {
        QStringList out;
        for (const ListingEntry &e : entries)
            out << e.name;
        return out;
    }

    QStringList events;
    QList<ListingEntry> entries;
};

class RecordingJob : public ListingJob
{
public:
    void AddEntry(const ListingEntry &entry) override { entries << entry; }
    void Next() override { ++nextCalls; }
    void discard() override { discarded = true; }

    QList<ListingEntry> entries;
    int nextCalls = 0;
    bool discarded = false;
};

// Every status text a transfer stack showed, without repeats in a row. Declare it before the stack.
struct StatusTrail
{
    void follow(TransferStack &stack)
    {
        QObject::connect(&stack, &TransferStack::changed, &stack, [this, &stack] {
            if (texts.isEmpty() || texts.constLast() != stack.status())
                texts << stack.status();
        });
    }
    QStringList texts;
};

inline HostRecord hostRecord(quint16 port, int hostType = 1, const QString &user = QStringLiteral("anonymous"),
                             const QString &password = QStringLiteral("guest@example.org"))
{
    HostRecord r;
    r.name = QStringLiteral("host%1").arg(port);
    r.address = QStringLiteral("127.0.0.1");
    r.port = QString::number(port);
    r.userName = user;
    r.password = password;
    r.hostType = hostType;
    return r;
}

inline bool writeLocal(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray readLocal(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Bytes that differ from position to position, so a shifted or repeated block shows.
inline QByteArray patternBytes(qsizetype size, int seed = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + i / 257 + seed) & 0xff);
    return bytes;
}
