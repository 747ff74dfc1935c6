#include "localops/LocalCopy.h"

#include <QRandomGenerator>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BufferSize = 256 * 1024;
constexpr mode_t PermissionBits = 01777; // read, write, execute and sticky; never set-id bits

// A file descriptor closed when it goes.
class Fd
{
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    // Closes now and says whether the close failed (NFS reports late write errors here).
    int reset()
    {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// A name beside dest that nothing uses yet, for the copy that replaces dest.
QByteArray temporaryBeside(const QByteArray &dest)
{
    const quint64 random = QRandomGenerator::global()->generate64();
    return folderOf(dest) + "/.vemal-" + QByteArray::number(random, 36);
}

} // namespace

LocalCopy::Result LocalCopy::copyFile(const QByteArray &source, const QByteArray &dest, Existing existing)
{
    // O_NONBLOCK: a source that became a fifo meanwhile must not hang the copy.
    Fd in(::open(source.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0)
        return {errno, true};
    if (!S_ISREG(info.st_mode))
        return {EINVAL, true};
    const QByteArray target = existing == Existing::Replace ? temporaryBeside(dest) : dest;
    Fd out(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return {errno, false};
    int error = copyData(in.get(), out.get(), info.st_size);
    if (error == 0)
        error = finishFile(out.get(), info);
    const int closeError = out.reset();
    if (error == 0)
        error = closeError;
    if (error == 0 && target != dest && ::rename(target.constData(), dest.constData()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(target.constData()); // ours, and incomplete
    return {error, false};
}

LocalCopy::Result LocalCopy::copyLink(const QByteArray &source, const QByteArray &dest, Existing existing)
{
    QByteArray linkTarget(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink(source.constData(), linkTarget.data(), size_t(linkTarget.size()));
        if (length < 0)
            return {errno, true};
        if (length < linkTarget.size()) {
            linkTarget.truncate(length);
            break;
        }
        linkTarget.resize(linkTarget.size() * 2);
    }
    if (existing == Existing::Refuse)
        return {::symlink(linkTarget.constData(), dest.constData()) == 0 ? 0 : errno, false};
    QByteArray temporary = temporaryBeside(dest);
    while (::symlink(linkTarget.constData(), temporary.constData()) != 0) {
        if (errno != EEXIST)
            return {errno, false};
        temporary = temporaryBeside(dest);
    }
    if (::rename(temporary.constData(), dest.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return {error, false};
    }
    return {};
}

int LocalCopy::createFolder(const QByteArray &dest, bool &created)
{
    created = ::mkdir(dest.constData(), 0700) == 0;
    if (created)
        return 0;
    const int error = errno;
    struct stat info;
    if (error == EEXIST && ::lstat(dest.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return 0; // the copy goes into the folder that is there
    return error;
}

int LocalCopy::setFolderMode(const QByteArray &dest, mode_t mode)
{
    return ::chmod(dest.constData(), mode & PermissionBits) == 0 ? 0 : errno;
}

int LocalCopy::copyData(int in, int out, off_t size)
{
    // The kernel moves the data (and may share blocks) without a trip through this process.
    off_t copied = 0;
    while (copied < size) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(size - copied), 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
            break; // shrunk meanwhile, or not between these two files: the plain way below
        return errno;
    }
    if (copied == size && size > 0)
        return 0;
    // An empty file (or one whose size the file system doesn't tell), or a pair the kernel can't
    // copy between: read and write from where the copy stopped.
    return readWrite(in, out);
}

int LocalCopy::readWrite(int in, int out)
{
    std::unique_ptr<char[]> buffer;
    for (;;) {
        // Most calls land here for empty files: try sendfile, which needs no buffer, first.
        const ssize_t sent = ::sendfile(out, in, nullptr, BufferSize);
        if (sent > 0)
            continue;
        if (sent == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
        break;
    }
    buffer.reset(new char[BufferSize]);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), BufferSize);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.get() + done, size_t(got - done));
            if (put < 0 && errno != EINTR)
                return errno;
            done += put > 0 ? put : 0;
        }
    }
}

int LocalCopy::finishFile(int out, const struct stat &source)
{
    if (::fchmod(out, source.st_mode & 0777) != 0)
        return errno;
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    return ::futimens(out, times) == 0 ? 0 : errno;
}
