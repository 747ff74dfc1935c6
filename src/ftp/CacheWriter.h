#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

struct ListingEntry;

// Writes one listing-cache file while the listing arrives: open() empties (or creates) the file,
// append() adds one record, flush() hands what was appended to the disk at the end of a received
// chunk, close() ends a complete listing and remove() deletes an incomplete one. Records go out
// through the file's buffer; the listing is never held in memory.
//
// Once anything fails (the file cannot be opened or written, or an entry cannot be kept, such as
// a name longer than the record allows) the file is deleted and the writer does nothing more: a
// cache file is either a whole listing or absent.
class CacheWriter
{
public:
    CacheWriter() = default;
    ~CacheWriter();
    CacheWriter(const CacheWriter &) = delete;
    CacheWriter &operator=(const CacheWriter &) = delete;

    // filePath in drive form ("C:\...\00000000.FTC"). False when the file cannot be created.
    bool open(const QString &filePath);
    // False once the writer has failed (the file is gone then).
    bool append(const ListingEntry &entry);
    bool flush();
    // The listing is complete: the file is written out and closed.
    bool close();
    // The listing is incomplete: the file is deleted.
    void remove();

    bool isOpen() const { return file_.isOpen(); }
    QString filePath() const { return filePath_; }

private:
    void fail();

    QString filePath_;
    QFile file_;
    QByteArray record_; // reused for every record
};
