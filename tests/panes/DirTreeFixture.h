#pragma once

// What the location tree's tests share: a settings store, home folder and pool of their own, and
// small helpers to arrange and read trees.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"
#include "support/TestHosts.h"

#include "ftp/ListingEntry.h"
#include "panes/DirWindow.h"
#include "panes/DirWindowNode.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "settings/SettingsKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTreeWidgetItem>

#include <memory>

namespace dirtest {

constexpr int Bound = 20000; // ms: the longest a listing from the server may take
inline const QString Site = QStringLiteral("site");
inline const QString Filler = QStringLiteral("***...Filler...***");

// A host or host folder under Hosts; folderId 0 makes a host.
inline void storeEntry(const QString &name, int parent, int folderId = 0)
{
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    store.createKey(key);
    store.setValue(key, QStringLiteral("Parent"), QString::number(parent));
    if (folderId != 0)
        store.setValue(key, QStringLiteral("This"), QString::number(folderId));
}

inline void storeServer(const QString &name, quint16 port)
{
    storeTestHost(name, port);
}

inline ListingEntry entry(const QString &name, ListingEntry::Kind kind = ListingEntry::Directory)
{
    ListingEntry e;
    e.name = name;
    e.kind = kind;
    return e;
}

inline QStringList childTexts(const QTreeWidgetItem *node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

// The node reached from the top by exact texts: "All Hosts/site/pub".
// A node's text as the paths below write it: a drive by its letter ("(C:)"), not "Home (C:)".
inline QString pathText(const QTreeWidgetItem *node)
{
    return node->data(0, DirWindowNode::LabelRole).isValid() ? nodeName(node) : node->text(0);
}

inline QTreeWidgetItem *nodeAt(const DirWindow &tree, const QString &textPath)
{
    QTreeWidgetItem *at = nullptr;
    for (const QString &text : textPath.split(u'/')) {
        QTreeWidgetItem *next = nullptr;
        if (!at)
            next = tree.topNode() && tree.topNode()->text(0) == text ? tree.topNode() : nullptr;
        for (int i = 0; at && i < at->childCount() && !next; ++i)
            if (pathText(at->child(i)) == text)
                next = at->child(i);
        if (!next)
            return nullptr;
        at = next;
    }
    return at;
}

inline QString textPath(const QTreeWidgetItem *node)
{
    QStringList texts;
    for (; node; node = node->parent())
        texts.prepend(pathText(node));
    return texts.join(u'/');
}

// Every node with its data word and whether it is open, for "nothing changed" checks.
inline QString dump(const QTreeWidgetItem *node, int depth = 0)
{
    if (!node)
        return {};
    QString text = QString(depth * 2, u' ') + node->text(0) + u' ' + QString::number(DirWindow::nodeFlags(node), 16)
        + (node->isExpanded() ? QStringLiteral(" +\n") : QStringLiteral("\n"));
    for (int i = 0; i < node->childCount(); ++i)
        text += dump(node->child(i), depth + 1);
    return text;
}

inline int listCommands(const FtpServerFixture &server)
{
    return server.listingsServed();
}

inline void feed(DirWindow &tree, const QString &directory, const QList<ListingEntry> &entries, bool complete = true)
{
    tree.listingStarted(Site, directory);
    for (const ListingEntry &e : entries)
        tree.listingEntry(Site, directory, e);
    tree.listingEnded(Site, directory, complete);
}

} // namespace dirtest

// HOME (drive C:) and the settings store point into a temporary folder for the whole run; each
// test gets the host "site" alone in the store, an empty folder "scan" in the home folder and a
// fresh pool with a cache folder of its own.
class DirTreeFixture
{
protected:
    TestEnvironment env_;
    RecordingPrompt prompt_;
    RecordingStatus status_;
    std::unique_ptr<ConnectionManager> pool_;
    int caches_ = 0;

    bool setUpRun()
    {
        if (!env_.setUp())
            return false;
        SettingsStore::reopen();
        return SettingsStore::instance().isOpen()
            && SetAppValue(QStringLiteral("EMail"), QStringLiteral("guest@example.org"));
    }

    bool setUpTest()
    {
        SettingsStore::instance().deleteKey(SettingsKeys::Hosts);
        dirtest::storeEntry(dirtest::Site, 0);
        QDir(home(QStringLiteral("scan"))).removeRecursively();
        prompt_.clear();
        status_.clear();
        if (!makeDirs({QStringLiteral("scan")})
            || !SetAppValue(QStringLiteral("CachePath"), QStringLiteral("C:\\.cache%1\\").arg(++caches_)))
            return false;
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        return true;
    }

    void tearDownTest()
    {
        pool_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString home(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? env_.home() : env_.home() + u'/' + relative;
    }

    bool makeDirs(const QStringList &relatives) const
    {
        for (const QString &relative : relatives)
            if (!QDir().mkpath(home(relative)))
                return false;
        return true;
    }

    // A tree over the store and this test's pool, built as the pane builds it.
    std::unique_ptr<DirWindow> newTree()
    {
        auto tree = std::make_unique<DirWindow>(nullptr, pool_.get());
        tree->BuildRoots();
        return tree;
    }
};
