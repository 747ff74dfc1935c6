#include "localops/LocalFileWorker.h"

#include <QDir>

#include "localops/LocalCopy.h"

#include <QFile>
#include <QMutexLocker>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray folderPath(const QString &path)
{
    QByteArray native = QFile::encodeName(path);
    if (!native.isEmpty() && !native.endsWith('/'))
        native += '/';
    return native;
}

// A name of an entry in the source folder, not a way out of it.
bool isEntryName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The path with its links, "." and ".." resolved as far as it exists, the rest appended as it is.
QByteArray resolvedPath(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    QByteArray existing = path;
    QByteArray rest;
    for (;;) {
        if (char *real = ::realpath(existing.isEmpty() ? "/" : existing.constData(), nullptr)) {
            QByteArray resolved(real);
            std::free(real);
            return rest.isEmpty() ? resolved : joined(resolved, rest);
        }
        const qsizetype slash = existing.lastIndexOf('/');
        if (slash < 0)
            return path;
        const QByteArray name = existing.mid(slash + 1);
        rest = rest.isEmpty() ? name : name + '/' + rest;
        existing.truncate(slash);
    }
}

bool isFolder(const LocalItem &item)
{
    return item.kind == LocalItem::Kind::Dir;
}

int countOf(const QList<LocalItem> &items, bool folders)
{
    int count = 0;
    for (const LocalItem &item : items)
        count += isFolder(item) == folders ? 1 : 0;
    return count;
}

} // namespace

LocalFileWorker::LocalFileWorker(const QStringList &names, const QString &sourceDir, const QString &destDir,
                                 QObject *parent)
    : QThread(parent), sourceDir_(folderPath(sourceDir)), destDir_(folderPath(destDir))
{
    for (const QString &name : names)
        names_.append(QFile::encodeName(name));
}

LocalFileWorker::~LocalFileWorker()
{
    requestStop();
    wait();
}

void LocalFileWorker::requestStop()
{
    stop_.store(true);
    QMutexLocker lock(&mutex_);
    answered_.wakeAll();
}

void LocalFileWorker::answerOverwrite(bool overwrite)
{
    QMutexLocker lock(&mutex_);
    if (answer_ != Answer::Pending)
        return;
    answer_ = overwrite ? Answer::Yes : Answer::No;
    answered_.wakeAll();
}

LocalFileWorker::Progress LocalFileWorker::takeProgress()
{
    progressPending_.store(false);
    QMutexLocker lock(&mutex_);
    return progress_;
}

void LocalFileWorker::run()
{
    // Names alone would be taken from the program's working folder: without a folder, nothing.
    if (!sourceDir_.startsWith('/'))
        return;
    if (copying())
        runCopy();
    else
        runDelete();
}

// ---------------------------------------------------------------------------------------------
// Copy

void LocalFileWorker::runCopy()
{
    if (refuseCopyIntoItself() || !makeDestination())
        return;
    const LocalTree tree = expanded();
    const QList<LocalItem> &items = tree.items();
    int remaining = countOf(items, false);
    std::vector<char> skipped(size_t(items.size()), 0); // folders not made, and all below them
    QList<std::pair<QByteArray, mode_t>> created;       // folders made, with their source's mode
    for (qsizetype i = 0; i < items.size() && !stop_.load(); ++i) {
        const LocalItem &item = items[i];
        if (item.parent >= 0 && skipped[size_t(item.parent)]) {
            skipped[size_t(i)] = 1;
            remaining -= isFolder(item) ? 0 : 1;
        } else if (isFolder(item)) {
            skipped[size_t(i)] = !copyFolder(item, created);
        } else {
            report(sourceDir_ + item.path, Label::Copying, --remaining);
            copyEntry(item);
        }
    }
    // Last, as a read-only folder would have refused what went into it.
    for (const auto &[path, mode] : created) {
        if (const int error = LocalCopy::setFolderMode(path, mode))
            fail(LocalFailure::Action::Create, path, error);
    }
}

bool LocalFileWorker::refuseCopyIntoItself()
{
    const QByteArray source = resolvedPath(sourceDir_);
    const QByteArray dest = resolvedPath(destDir_);
    bool refused = false;
    for (const QByteArray &name : std::as_const(names_)) {
        struct stat info;
        if (!isEntryName(name) || ::lstat((sourceDir_ + name).constData(), &info) != 0)
            continue;
        const QByteArray from = joined(source, name);
        const QByteArray to = joined(dest, name);
        if (S_ISDIR(info.st_mode) && (to == from || to.startsWith(from + '/'))) {
            fail(LocalFailure::Action::CopyIntoItself, sourceDir_ + name, QString());
            refused = true;
        } else if (to == from) {
            fail(LocalFailure::Action::CopyOntoItself, sourceDir_ + name, QString());
            refused = true;
        }
    }
    return refused;
}

bool LocalFileWorker::makeDestination()
{
    struct stat info;
    if (::stat(destDir_.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        fail(LocalFailure::Action::Create, destDir_, ENOTDIR);
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(std::string(destDir_.constData(), size_t(destDir_.size() - 1)), error);
    if (!error)
        return true;
    fail(LocalFailure::Action::Create, destDir_, QString::fromStdString(error.message()));
    return false;
}

bool LocalFileWorker::copyFolder(const LocalItem &item, QList<std::pair<QByteArray, mode_t>> &created)
{
    const QByteArray source = sourceDir_ + item.path;
    const QByteArray dest = destDir_ + item.path;
    struct stat info;
    if (::lstat(source.constData(), &info) != 0) {
        fail(LocalFailure::Action::Copy, source, errno);
        return false;
    }
    bool made = false;
    if (const int error = LocalCopy::createFolder(dest, made)) {
        fail(LocalFailure::Action::Create, dest, error); // nothing goes below it, least of all through a link
        return false;
    }
    if (made)
        created.append({dest, info.st_mode});
    return true;
}

void LocalFileWorker::copyEntry(const LocalItem &item)
{
    const QByteArray source = sourceDir_ + item.path;
    const QByteArray dest = destDir_ + item.path;
    if (item.kind == LocalItem::Kind::Other) {
        fail(LocalFailure::Action::Copy, source, QStringLiteral("Not a regular file, folder or link"));
        return;
    }
    const auto copy = item.kind == LocalItem::Kind::Link ? &LocalCopy::copyLink : &LocalCopy::copyFile;
    LocalCopy::Result result = copy(source, dest, LocalCopy::Existing::Refuse);
    if (result.error == EEXIST && !result.atSource) {
        if (!mayReplace(source, dest))
            return;
        result = copy(source, dest, LocalCopy::Existing::Replace);
    }
    if (result.error != 0)
        fail(LocalFailure::Action::Copy, result.atSource ? source : dest, result.error);
}

bool LocalFileWorker::mayReplace(const QByteArray &source, const QByteArray &dest)
{
    struct stat to;
    struct stat from;
    if (::lstat(dest.constData(), &to) != 0)
        return true; // gone meanwhile
    if (S_ISDIR(to.st_mode)) {
        fail(LocalFailure::Action::Copy, dest, EISDIR);
        return false;
    }
    if (::lstat(source.constData(), &from) == 0 && from.st_dev == to.st_dev && from.st_ino == to.st_ino) {
        fail(LocalFailure::Action::Copy, dest, QStringLiteral("It is the file being copied"));
        return false;
    }
    return askOverwrite(dest);
}

bool LocalFileWorker::askOverwrite(const QByteArray &dest)
{
    {
        QMutexLocker lock(&mutex_);
        answer_ = Answer::Pending;
    }
    emit overwriteQuestion(QFile::decodeName(dest));
    QMutexLocker lock(&mutex_);
    while (answer_ == Answer::Pending && !stop_.load())
        answered_.wait(&mutex_);
    const bool yes = answer_ == Answer::Yes && !stop_.load();
    answer_ = Answer::None;
    return yes;
}

// ---------------------------------------------------------------------------------------------
// Delete

void LocalFileWorker::runDelete()
{
    const LocalTree tree = expanded();
    const QList<LocalItem> &items = tree.items();
    std::vector<char> kept(size_t(items.size()), 0); // folders with something left inside
    const auto keepParent = [&kept](const LocalItem &item) {
        if (item.parent >= 0)
            kept[size_t(item.parent)] = 1;
    };
    int files = countOf(items, false);
    for (qsizetype i = 0; i < items.size() && !stop_.load(); ++i) {
        if (isFolder(items[i]))
            continue;
        const QByteArray path = sourceDir_ + items[i].path;
        report(path, Label::Deleting, --files);
        if (::unlink(path.constData()) != 0) { // a link goes, never what it points to
            fail(LocalFailure::Action::Delete, path, errno);
            keepParent(items[i]);
        }
    }
    // Deeper folders come later in the list: from the end, each goes after every folder below it.
    int folders = countOf(items, true);
    for (qsizetype i = items.size() - 1; i >= 0 && !stop_.load(); --i) {
        const LocalItem &item = items[i];
        if (!isFolder(item))
            continue;
        const QByteArray path = sourceDir_ + item.path;
        report(path, Label::RemovingDirectory, --folders);
        if (kept[size_t(i)] || item.unreadable) {
            keepParent(item); // what was left inside has said why already
        } else if (::rmdir(path.constData()) != 0) {
            fail(LocalFailure::Action::Remove, path, errno);
            keepParent(item);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Shared

LocalTree LocalFileWorker::expanded()
{
    const LocalFailure::Action action = copying() ? LocalFailure::Action::Copy : LocalFailure::Action::Delete;
    QList<QByteArray> valid;
    for (const QByteArray &name : std::as_const(names_)) {
        if (isEntryName(name))
            valid.append(name);
        else
            fail(action, sourceDir_ + name, QStringLiteral("Not the name of an entry in the folder"));
    }
    LocalTree tree(sourceDir_, action, stop_);
    tree.expand(valid);
    failures_ += tree.failures();
    return tree;
}

void LocalFileWorker::report(const QByteArray &path, Label label, int remaining)
{
    {
        QMutexLocker lock(&mutex_);
        progress_ = Progress{QFile::decodeName(path), label, remaining};
    }
    if (!progressPending_.exchange(true))
        emit progressChanged();
}

void LocalFileWorker::fail(LocalFailure::Action action, const QByteArray &path, int error)
{
    fail(action, path, systemReason(error));
}

void LocalFileWorker::fail(LocalFailure::Action action, const QByteArray &path, const QString &reason)
{
    failures_.append(LocalFailure{action, QFile::decodeName(path), reason});
}
