#pragma once

#include "ftp/ListingEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class Prompt;
struct HostRecord;

// The listing cache: maps (host name, directory path) to a file in the cache directory and tells,
// by the host's cache policy, whether the listing stored there may be used.
//
// The cache directory holds
//   CACHE.FTC        host names, one a line; a host's number is its line number
//   HST%03i.FTC      that host's directory paths, one a line; a directory's number is its line
//   %03i%05i.FTC     the listing of one (host, directory) pair: records as CacheRecord describes,
//                    then the end mark (CacheWriter writes these files whole or not at all)
//
// Paths are in drive form ("C:\...\", see LocalDrives.h) and mapped to native paths for each
// file operation. Copies are cheap; one lives in the connection pool.
class Cache
{
public:
    // Settles the cache directory from the CachePath application value. When none is stored,
    // askForPath (if given) is called once: it shows the "Cache Path" dialog, which stores
    // CachePath. Without a usable path the user is told through prompt and "C:\" is used.
    explicit Cache(Prompt &prompt, const std::function<void()> &askForPath = {});

    // Finds or assigns the file of (host, dir) and sets filePath() and enabled(). True when the
    // stored listing may be used: always with force when the file exists, else by the host's
    // policy (0 never, 1 written during this run, 2 always, 3 until CacheMins and CacheDays have
    // passed since it was written). A pair that cannot be kept in the index leaves filePath()
    // empty: nothing is cached for it.
    bool Lookup(const QString &host, const QString &dir, bool force);

    // The file of the last lookup, in drive form; empty when there is none.
    QString GetFilePath() const { return filePath_; }
    // Deletes the file of the last lookup (the directory changed on the host).
    bool DeleteFile() const;
    // The listing in the file of the last lookup; see ReadRecords.
    std::optional<QList<ListingEntry>> ReadListing() const;

    // False when the host of the last lookup has caching switched off.
    bool enabled() const { return enabled_; }
    QString directory() const { return directory_; }
    // When this object was made: the start of this run of the program for policy 1.
    QDateTime createdAt() const { return createdAt_; }

    // Every entry of a listing file (drive form), read and checked whole before any is given out.
    // A file that is not a sound listing (a record cut short, or no end mark: a file cut to any
    // length, nothing included) is deleted and gives nullopt, as does a missing file.
    static std::optional<QList<ListingEntry>> ReadRecords(const QString &filePath);

    // The cache directory a stored CachePath stands for, in drive form ending in "\": slashes
    // become backslashes, a bare name goes under "C:\". Empty when the path is unusable: shorter
    // than 3 characters, or not on a drive that exists, or climbing above its drive's root.
    static QString NormaliseCachePath(const QString &stored);

    // The listing id of a listing file name: host number * 100000 + directory number; -1 when
    // the name is not one of "%03i%05i.FTC".
    static int ListingId(const QString &filePath);

private:
    bool policyAllows(const HostRecord &host, const QDateTime &written) const;

    bool enabled_ = true;
    QString filePath_;
    QString directory_;
    QDateTime createdAt_;
};
