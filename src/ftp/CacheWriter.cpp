#include "CacheWriter.h"

#include "ftp/CacheRecord.h"
#include "ftp/ListingEntry.h"
#include "platform/LocalDrives.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

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
    // A name of this process's own: the program and the command line may fill the same cache.
    partPath_ = native + QStringLiteral(".part%1").arg(QCoreApplication::applicationPid());
    file_ = std::make_unique<QFile>(partPath_);
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
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
    // Not synced: the end mark, not the disk, tells a whole listing (a sync per listing would cost
    // a walk over thousands of folders seconds).
    const bool written = file_->write(mark.data(), mark.size()) == mark.size() && file_->flush();
    file_->close();
    if (written && std::rename(QFile::encodeName(partPath_).constData(), QFile::encodeName(nativePath_).constData()) == 0) {
        file_.reset();
        return true;
    }
    remove();
    return false;
}

void CacheWriter::remove()
{
    if (file_) {
        file_->close();
        QFile::remove(partPath_);
    }
    file_.reset();
    if (!nativePath_.isEmpty())
        QFile::remove(nativePath_);
}
