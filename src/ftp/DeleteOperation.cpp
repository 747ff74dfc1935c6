#include "ftp/DeleteOperation.h"

#include "ftp/ConnectionOwner.h"
#include "ftp/OperationDrivers.h"
#include "ftp/RemotePath.h"
#include "platform/LocalDrives.h"

#include <QFile>

using namespace remotepath;

DeleteOperation::DeleteOperation(Connection *connection, DeleteDriver *driver)
    : ConnectionOperation(connection)
    , driver_(driver)
{
}

OperationDriver *DeleteOperation::driver() const
{
    return driver_;
}

void DeleteOperation::abandon(const QString &reason)
{
    if (DeleteDriver *driver = std::exchange(driver_, nullptr)) {
        driver->entryEnded(false, reason);
        driver->operationEnded();
    }
}

ConnectionOperation::Outcome DeleteOperation::start()
{
    return nextEntry();
}

ConnectionOperation::Outcome DeleteOperation::nextEntry()
{
    for (;;) {
        QString path;
        bool directory = false;
        if (driver_->cancelled() || !driver_->NextEntry(path, directory))
            return Outcome::Done;
        path = withoutTrailingSlash(path);
        if (holdsLineBreak(path) || !path.startsWith(QLatin1Char('/')) || path == QLatin1String("/")) {
            driver_->entryEnded(false, tr("The path %1 cannot be sent to the host.").arg(path));
            continue;
        }
        directory_ = directory;
        name_ = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        parent_ = asDirectory(parentOf(path));
        send(QStringLiteral("CWD ") + parentOf(path));
        step_ = Step::AwaitCwd;
        return Outcome::GoOn;
    }
}

ConnectionOperation::Outcome DeleteOperation::handleReply(int code, const QString &line)
{
    return step_ == Step::AwaitCwd ? handleCwdReply(code, line) : handleRemoveReply(code, line);
}

ConnectionOperation::Outcome DeleteOperation::handleCwdReply(int code, const QString &line)
{
    if (code == 250) {
        if (driver_->cancelled())
            return nextEntry();
        send((directory_ ? QStringLiteral("RMD ") : QStringLiteral("DELE ")) + name_);
        step_ = Step::AwaitRemove;
        return Outcome::GoOn;
    }
    if (!replyFailed(line, tr("Error Deleting")))
        return Outcome::Gone;
    if (!failed(tr("Couldn't Change to Directory"), tr("Couldn't Delete File")))
        return Outcome::Gone;
    driver_->entryEnded(false, line.mid(4));
    return nextEntry();
}

ConnectionOperation::Outcome DeleteOperation::handleRemoveReply(int code, const QString &line)
{
    if (code == 250) {
        owner().entryRemoved(hostName(), parent_, name_);
        // Cache files are named in drive form ("C:\...\00100002.FTC") like every local path.
        const QString cacheFile = toNativePath(driver_->cacheFilePath());
        if (!cacheFile.isEmpty())
            QFile::remove(cacheFile);
        invalidateListing(parent_);
        if (directory_)
            invalidateListing(parent_ + name_ + QLatin1Char('/'));
        driver_->entryEnded(true, QString());
    } else {
        if (!replyFailed(line, tr("Couldn't Delete File")))
            return Outcome::Gone;
        driver_->entryEnded(false, line.mid(4));
    }
    return nextEntry();
}
