#include "CacheWriter.h"

#include "ftp/CacheRecord.h"
#include "ftp/ListingEntry.h"
#include "platform/LocalDrives.h"

#include <QFile>
#include <QSaveFile>

CacheWriter::CacheWriter() = default;

// A writer dropped without close() has no complete listing to keep.
CacheWriter::~CacheWriter()
{
    if (file_)
        remove();
}

bool CacheWriter::open(const QString &filePath)
{
    if (file_)
        close();
    filePath_ = filePath;
    nativePath_.clear();
    const QString native = toNativePath(filePath);
    if (native.isEmpty() || native.endsWith(u'/'))
        return false;
    file_ = std::make_unique<QSaveFile>(native);
    if (!file_->open(QIODevice::WriteOnly)) {
        file_.reset();
        return false;
    }
    nativePath_ = native;
    return true;
}

bool CacheWriter::append(const ListingEntry &entry)
{
    if (!file_)
        return false;
    record_.clear();
    if (!CacheRecord::append(record_, entry) || file_->write(record_) != record_.size()) {
        remove();
        return false;
    }
    return true;
}

bool CacheWriter::close()
{
    if (!file_)
        return false;
    const QByteArrayView mark = endMark();
    // commit() writes the buffer out, syncs the new file to the disk and renames it into place.
    if (file_->write(mark.data(), mark.size()) == mark.size() && file_->commit()) {
        file_.reset();
        return true;
    }
    remove();
    return false;
}

void CacheWriter::remove()
{
    if (file_)
        file_->cancelWriting();
    file_.reset();
    if (!nativePath_.isEmpty())
        QFile::remove(nativePath_);
}
