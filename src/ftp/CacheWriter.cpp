#include "CacheWriter.h"

#include "ftp/CacheRecord.h"
#include "ftp/ListingEntry.h"
#include "platform/LocalDrives.h"

// A writer dropped without close() has no complete listing to keep.
CacheWriter::~CacheWriter()
{
    if (file_.isOpen())
        remove();
}

bool CacheWriter::open(const QString &filePath)
{
    if (file_.isOpen())
        close();
    filePath_ = filePath;
    const QString native = toNativePath(filePath);
    if (native.isEmpty() || native.endsWith(u'/'))
        return false;
    file_.setFileName(native);
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool CacheWriter::append(const ListingEntry &entry)
{
    if (!file_.isOpen())
        return false;
    record_.clear();
    if (!CacheRecord::append(record_, entry) || file_.write(record_) != record_.size()) {
        fail();
        return false;
    }
    return true;
}

bool CacheWriter::flush()
{
    if (!file_.isOpen())
        return false;
    if (!file_.flush()) {
        fail();
        return false;
    }
    return true;
}

bool CacheWriter::close()
{
    if (!file_.isOpen())
        return false;
    if (!file_.flush()) {
        fail();
        return false;
    }
    file_.close();
    return true;
}

void CacheWriter::remove()
{
    if (file_.isOpen())
        file_.close();
    if (!file_.fileName().isEmpty())
        QFile::remove(file_.fileName());
}

void CacheWriter::fail()
{
    remove();
}
