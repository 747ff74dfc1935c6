#pragma once

#include "ftp/ListingJob.h"

#include <QString>
#include <QStringList>
#include <optional>

class ConnectionManager;
class PaneView;
class SearchObserver;
class BuildObserver;

// The job behind every directory listing and every walk of a tree: showing a directory, a search,
// gathering a tree for a transfer or a delete, and filling the cache for a tree. Directories are
// listed one at a time, breadth-first; each listing comes from the cache or from a connection,
// which hands each entry to AddEntry and then calls Next. A job deletes itself when it ends.
class ListInfo : public ListingJob
{
public:
    // The deepest a walk goes below its start directory.
    static constexpr int MaxDepth = 64;

    struct SearchRequest
    {
        QString host;
        QString directory;
        QString text;
        bool subFolders = true;
        bool followLinks = true;
        bool refresh = false;
        bool newConnection = false;
    };

    // Lists one directory for the panes (requester: the pane that asked, or none).
    static void ListDirectory(ConnectionManager &pool, const QString &host, const QString &path,
                              PaneView *requester, bool refresh, bool fetch);
    // Starts a search; nullptr (after telling the observer to abort) when no connection is had.
    // The starters also give nullptr when the walk was over before they returned (every listing
    // came from the cache): the observer has heard the end then.
    static ListInfo *StartSearch(ConnectionManager &pool, const SearchRequest &request, SearchObserver *observer);
    // Walks the trees below the given directories (full paths; the first is already in the
    // caller's own list, the others are entered as "DIR: " items). A delete walk never enters a
    // link and gathers links as files. nullptr when no connection is had.
    static ListInfo *StartTreeBuild(ConnectionManager &pool, const QString &host, const QStringList &directories,
                                    bool forDelete, bool newConnection, bool refresh, BuildObserver *observer);
    // Fetches and caches every listing of the tree below path. nullptr when no connection is had.
    static ListInfo *StartCacheBuild(ConnectionManager &pool, const QString &host, const QString &path,
                                     bool newConnection, BuildObserver *observer);

    static void RequestListing(ConnectionManager &pool, const QString &host, QString path, ListInfo *job,
                               bool refresh, PaneView *requester, bool dedupe, int connIndex, bool fetch);

    void AddEntry(const ListingEntry &entry) override;
    // Walks (searches, tree and cache builds) follow or skip links as they are told to.
    bool needsLinks() const override { return walk_; }
    void Next() override;
    void discard() override;

    // Stops the walk: nothing more is listed and the observers hear nothing more.
    void cancel();

    const QString &path() const { return path_; }
    const QString &host() const { return host_; }
    int listingId() const { return listingId_; }
    const QStringList &items() const { return items_; }

    // The path of a directory, with one trailing "/".
    static QString asDirectory(QString path);

private:
    explicit ListInfo(ConnectionManager &pool);
    ~ListInfo() override;

    bool useConnection(bool newConnection);
    void watchedBy(SearchObserver *search, BuildObserver *build);
    // The observers hear nothing more, and forget this job.
    void releaseObservers();
    ListInfo *begin(bool dedupe);
    bool mayWalkInto(const ListingEntry &entry);
    void end();
    void abandon();

    ConnectionManager &pool_;
    QStringList pending_;
    QStringList items_;
    bool collectFiles_ = false;
    bool collectDirs_ = false;
    std::optional<QString> pattern_;
    QString path_;
    QString host_;
    QString root_;
    int listingId_ = -1;
    int connIndex_ = -1;
    bool dedupe_ = false;
    bool refresh_ = false;
    bool followLinks_ = true;
    bool forDelete_ = false;
    bool walk_ = false;
    SearchObserver *searchObserver_ = nullptr;
    BuildObserver *buildObserver_ = nullptr;
    bool *endedFlag_ = nullptr; // set while a starter waits for the first RequestListing
};
