#pragma once

#include "localops/LocalFailure.h"

#include <QByteArray>
#include <QList>

#include <atomic>

// One entry of a local copy or delete, by its path relative to the source folder.
struct LocalItem
{
    enum class Kind { File, Link, Dir, Other };

    QByteArray path;        // native bytes, "/" between the names
    Kind kind = Kind::File;
    qsizetype parent = -1;  // index of the folder holding it; -1 for a selected entry
    bool unreadable = false; // a folder whose entries could not be listed
};

// The selection expanded: the selected entries, then everything below the selected folders, each
// folder before the entries in it (so every folder comes after all folders above it). A link is an
// entry of its own and is never followed, so a link to a folder adds nothing below it and a link
// loop is no loop. A selected name that no longer exists is left out, one that can't be looked up
// is a failure of the given action; a folder that can't be listed is a Read failure. The entries
// of one folder are in name order.
class LocalTree
{
public:
    // sourceDir: native, ending in "/". Listing stops early when stop becomes true.
    LocalTree(const QByteArray &sourceDir, LocalFailure::Action action, const std::atomic<bool> &stop);

    void expand(const QList<QByteArray> &names);

    const QList<LocalItem> &items() const { return items_; }
    const QList<LocalFailure> &failures() const { return failures_; }

private:
    void addSelected(const QByteArray &name);
    void list(qsizetype folder);

    QByteArray sourceDir_;
    LocalFailure::Action action_;
    const std::atomic<bool> &stop_;
    QList<LocalItem> items_;
    QList<LocalFailure> failures_;
};

// The kind of an entry from its lstat mode.
LocalItem::Kind localKindOf(unsigned mode);
