#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

class QFile;
struct ListingEntry;

// Writes one listing-cache file while the listing arrives. The records go to a new file in the
// cache file's folder, not to the cache file itself: close() ends a complete listing with the end
// mark and puts the new file in the cache file's place in one step (a rename; the file is not
// synced first: a listing that did not reach the disk before a crash lacks its end mark);
// remove(), or a writer dropped without close(), throws it away and deletes the cache file, which
// no longer tells what the host holds. So whenever the program or the computer stops, the cache
// file is a whole listing, the new one or the one before, or absent. Records go out through the
// file's buffer; the listing is never held in memory.
//
// Once anything fails (the new file cannot be made or written, or an entry cannot be kept, such
// as a name longer than the record allows) the writer removes as above and does nothing more.
class CacheWriter
{
public:
    CacheWriter();
    ~CacheWriter();
    CacheWriter(const CacheWriter &) = delete;
    CacheWriter &operator=(const CacheWriter &) = delete;

    // Every listing file ends with this mark, written when its listing is complete: a file
    // without it (cut short, even to nothing) is no listing. An empty folder's file is the mark
    // alone. Its first byte is never the first byte of a record (a kind, 0 to 2).
    static QByteArrayView endMark() { return QByteArrayView("\xff" "END\n"); }

    // filePath in drive form ("C:\...\00000000.FTC"). False when the new file cannot be made.
    bool open(const QString &filePath);
    // False once the writer has failed (the new file is gone then).
    bool append(const ListingEntry &entry);
    // The listing is complete: it takes the cache file's place. False when it could not.
    bool close();
    // The listing is incomplete: what was written goes, and so does the cache file.
    void remove();

    bool isOpen() const { return file_ != nullptr; }
    QString filePath() const { return filePath_; }

private:
    QString filePath_;
    QString nativePath_; // of the cache file, once open() made its new file
    QString partPath_;   // the new file, beside the cache file, until it takes its place
    std::unique_ptr<QFile> file_;
    QByteArray record_; // reused for every record
};
