#include "Cache.h"

#include "ftp/CacheIndex.h"
#include "ftp/CacheRecord.h"
#include "ftp/CacheWriter.h"
#include "platform/LocalDrives.h"
#include "platform/Prompt.h"
#include "settings/AppValues.h"
#include "settings/HostRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kCachePathBuffer = 500;
constexpr int kMaxHostNumber = 999;       // three digits in the file names
constexpr int kMaxDirectoryNumber = 99999; // five digits
constexpr qint64 kMaxListingFileBytes = qint64(1) << 30;

const QString kFallbackDirectory = QStringLiteral("C:\\");

void warnAboutPath(Prompt &prompt)
{
    prompt.message(QStringLiteral("Cache path not valid, using C:.  Please rectify this before C: fills with cache files."),
                   QStringLiteral("Error on path"), Prompt::Icon::Warning);
}

QString settleDirectory(Prompt &prompt, const std::function<void()> &askForPath)
{
    QString stored;
    if (GetAppValue(QStringLiteral("CachePath"), stored, kCachePathBuffer) != 0 && askForPath) {
        askForPath();
        GetAppValue(QStringLiteral("CachePath"), stored, kCachePathBuffer);
    }
    QString directory = Cache::NormaliseCachePath(stored);
    if (directory.isEmpty()) {
        warnAboutPath(prompt);
        directory = kFallbackDirectory;
    }
    QDir().mkpath(toNativePath(directory)); // errors show later as listings that are not kept
    return directory;
}

} // namespace

Cache::Cache(Prompt &prompt, const std::function<void()> &askForPath)
    : directory_(settleDirectory(prompt, askForPath)), createdAt_(QDateTime::currentDateTimeUtc())
{
}

QString Cache::NormaliseCachePath(const QString &stored)
{
    if (stored.size() < 3)
        return {};
    QString path = stored;
    path.replace(u'/', u'\\');
    if (!path.endsWith(u'\\'))
        path += u'\\';
    if (!path.startsWith(u'\\') && path.at(1) != u':')
        path.prepend(u'\\');
    if (path.at(1) != u':')
        path.prepend(QStringLiteral("C:"));
    path[0] = path.at(0).toUpper();
    return toNativePath(path).isEmpty() ? QString() : path;
}

bool Cache::Lookup(const QString &host, const QString &dir, bool force)
{
    filePath_.clear();
    const std::optional<HostRecord> record = HostRecord::read(host);
    const HostRecord policy = record.value_or(HostRecord{});
    enabled_ = policy.cachePolicy != 0;

    const auto hostNumber = CacheIndex::numberOf(toNativePath(directory_ + QStringLiteral("CACHE.FTC")), host);
    if (!hostNumber || hostNumber->number > kMaxHostNumber)
        return false;
    const QString dirIndex = directory_ + QString::asprintf("HST%03d.FTC", hostNumber->number);
    const auto dirNumber = CacheIndex::numberOf(toNativePath(dirIndex), dir);
    if (!dirNumber || dirNumber->number > kMaxDirectoryNumber)
        return false;
    filePath_ = directory_ + QString::asprintf("%03d%05d.FTC", hostNumber->number, dirNumber->number);
    if (dirNumber->added)
        return false; // a directory new to the index has nothing stored yet
    const QFileInfo file(toNativePath(filePath_));
    if (!file.isFile())
        return false;
    return force || policyAllows(policy, file.lastModified());
}

bool Cache::policyAllows(const HostRecord &host, const QDateTime &written) const
{
    switch (host.cachePolicy) {
    case 0:
        return false;
    case 2:
        return true;
    case 3: {
        // Used while its age is below CacheMins and CacheDays together.
        const qint64 period = qint64(host.cacheMinutes) * 60 + qint64(host.cacheDays) * 86400;
        return written.toSecsSinceEpoch() + period > QDateTime::currentSecsSinceEpoch();
    }
    default:
        return written > createdAt_; // written during this run
    }
}

bool Cache::DeleteFile() const
{
    if (filePath_.isEmpty())
        return false;
    return QFile::remove(toNativePath(filePath_));
}

std::optional<QList<ListingEntry>> Cache::ReadListing() const
{
    if (filePath_.isEmpty())
        return std::nullopt;
    return ReadRecords(filePath_);
}

std::optional<QList<ListingEntry>> Cache::ReadRecords(const QString &filePath)
{
    const QString native = toNativePath(filePath);
    if (native.isEmpty())
        return std::nullopt;
    QFile file(native);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<QList<ListingEntry>> entries;
    if (file.size() <= kMaxListingFileBytes) {
        // Only a file that ends in the end mark holds a whole listing; one cut short does not,
        // however it was cut.
        const QByteArray data = file.readAll();
        const QByteArrayView mark = CacheWriter::endMark();
        if (data.endsWith(mark))
            entries = CacheRecord::readAll(QByteArrayView(data).chopped(mark.size()));
    }
    file.close();
    if (!entries)
        QFile::remove(native); // not a whole listing: fetch it afresh next time
    return entries;
}

int Cache::ListingId(const QString &filePath)
{
    const qsizetype slash = std::max(filePath.lastIndexOf(u'\\'), filePath.lastIndexOf(u'/'));
    const QStringView name = QStringView(filePath).sliced(slash + 1);
    if (name.size() != 12 || !name.endsWith(u".FTC"))
        return -1;
    for (QChar c : name.first(8))
        if (c < u'0' || c > u'9')
            return -1;
    const int host = name.first(3).toInt();
    const int dir = name.sliced(3, 5).toInt();
    return host * 100000 + dir;
}
