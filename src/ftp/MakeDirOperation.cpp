#include "ftp/MakeDirOperation.h"

#include "ftp/ConnectionOwner.h"
#include "ftp/OperationDrivers.h"
#include "ftp/RemotePath.h"

using namespace remotepath;

MakeDirOperation::MakeDirOperation(Connection *connection, MakeDirDriver *driver)
    : ConnectionOperation(connection)
    , driver_(driver)
{
}

OperationDriver *MakeDirOperation::driver() const
{
    return driver_;
}

void MakeDirOperation::abandon(const QString &reason)
{
    if (MakeDirDriver *driver = std::exchange(driver_, nullptr)) {
        driver->makeDirEnded(false, reason);
        driver->operationEnded();
    }
}

ConnectionOperation::Outcome MakeDirOperation::start()
{
    const QString path = withoutTrailingSlash(driver_->path());
    const bool unusable = holdsLineBreak(path) || !path.startsWith(QLatin1Char('/')) || path == QLatin1String("/");
    if (driver_->cancelled())
        return Outcome::Done;
    if (unusable) {
        driver_->makeDirEnded(false, tr("The path %1 cannot be sent to the host.").arg(path));
        return Outcome::Failed;
    }
    name_ = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    parent_ = parentOf(path);
    driver_->setStatus(tr("Changing Directory"));
    send(QStringLiteral("CWD ") + parent_);
    step_ = Step::AwaitCwd;
    return Outcome::GoOn;
}

ConnectionOperation::Outcome MakeDirOperation::handleReply(int code, const QString &line)
{
    return step_ == Step::AwaitCwd ? handleCwdReply(code, line) : handleMkdReply(code, line);
}

ConnectionOperation::Outcome MakeDirOperation::handleCwdReply(int code, const QString &line)
{
    if (code == 250) {
        driver_->setStatus(tr("Creating Directory"));
        send(QStringLiteral("MKD ") + name_);
        step_ = Step::AwaitMkd;
        return Outcome::GoOn;
    }
    if (!replyFailed(line, tr("Error Creating Directory")))
        return Outcome::Gone;
    driver_->makeDirEnded(false, line.mid(4));
    return Outcome::Failed;
}

ConnectionOperation::Outcome MakeDirOperation::handleMkdReply(int code, const QString &line)
{
    if (code != 257) {
        if (!replyFailed(line, tr("Error Creating Directory")))
            return Outcome::Gone;
        driver_->makeDirEnded(false, line.mid(4));
        return Outcome::Failed;
    }
    const QString parent = asDirectory(parent_);
    invalidateListing(parent);
    owner().directoryCreated(hostName(), parent, name_);
    driver_->makeDirEnded(true, QString());
    return Outcome::Done;
}
