#include "localops/LocalTree.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LocalItem::Kind localKindOf(unsigned mode)
{
    if (S_ISDIR(mode))
        return LocalItem::Kind::Dir;
    if (S_ISLNK(mode))
        return LocalItem::Kind::Link;
    return S_ISREG(mode) ? LocalItem::Kind::File : LocalItem::Kind::Other;
}

namespace {

// The kind from a directory entry's type, asking the file system only when the entry doesn't say.
LocalItem::Kind kindOf(int folder, const dirent *entry)
{
    switch (entry->d_type) {
    case DT_DIR:
        return LocalItem::Kind::Dir;
    case DT_LNK:
        return LocalItem::Kind::Link;
    case DT_REG:
        return LocalItem::Kind::File;
    case DT_UNKNOWN:
        break;
    default:
        return LocalItem::Kind::Other;
    }
    struct stat info;
    if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return LocalItem::Kind::Other; // gone meanwhile: what is done with it will say so
    return localKindOf(info.st_mode);
}

} // namespace

LocalTree::LocalTree(const QByteArray &sourceDir, LocalFailure::Action action, const std::atomic<bool> &stop)
    : sourceDir_(sourceDir), action_(action), stop_(stop)
{
}

void LocalTree::expand(const QList<QByteArray> &names)
{
    for (const QByteArray &name : names)
        addSelected(name);
    // Folders are listed in list order; what a listing appends is listed after, so deeper
    // folders always follow the folders that hold them.
    for (qsizetype i = 0; i < items_.size() && !stop_.load(std::memory_order_relaxed); ++i) {
        if (items_[i].kind == LocalItem::Kind::Dir)
            list(i);
    }
}

void LocalTree::addSelected(const QByteArray &name)
{
    const QByteArray path = sourceDir_ + name;
    struct stat info;
    if (::lstat(path.constData(), &info) != 0) {
        const int error = errno;
        if (error != ENOENT) // else gone since it was listed
            failures_.append({action_, QFile::decodeName(path), systemReason(error)});
        return;
    }
    items_.append(LocalItem{name, localKindOf(info.st_mode)});
}

void LocalTree::list(qsizetype folder)
{
    const QByteArray relative = items_[folder].path; // a copy: appending moves the list
    const QByteArray path = sourceDir_ + relative;
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        items_[folder].unreadable = true;
        failures_.append({LocalFailure::Action::Read, QFile::decodeName(path), systemReason(error)});
        return;
    }
    const qsizetype first = items_.size();
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        items_.append(LocalItem{relative + '/' + name, kindOf(::dirfd(dir), entry), folder});
    }
    if (error != 0) {
        items_[folder].unreadable = true;
        failures_.append({LocalFailure::Action::Read, QFile::decodeName(path), systemReason(error)});
    }
    ::closedir(dir);
    std::sort(items_.begin() + first, items_.end(),
              [](const LocalItem &a, const LocalItem &b) { return a.path < b.path; });
}
