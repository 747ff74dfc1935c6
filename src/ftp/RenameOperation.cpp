#include "ftp/RenameOperation.h"

#include "ftp/ConnectionOwner.h"
#include "ftp/OperationDrivers.h"
#include "ftp/RemotePath.h"

using namespace remotepath;

RenameOperation::RenameOperation(Connection *connection, RenameDriver *driver)
    : ConnectionOperation(connection)
    , driver_(driver)
{
}

OperationDriver *RenameOperation::driver() const
{
    return driver_;
}

void RenameOperation::abandon(const QString &reason)
{
    if (RenameDriver *driver = std::exchange(driver_, nullptr)) {
        driver->renameEnded(false, reason);
        driver->operationEnded();
    }
}

ConnectionOperation::Outcome RenameOperation::start()
{
    const bool unusable = holdsLineBreak(driver_->directory()) || holdsLineBreak(driver_->oldName())
                          || holdsLineBreak(driver_->newName()) || driver_->oldName().isEmpty()
                          || driver_->newName().isEmpty();
    if (driver_->cancelled())
        return Outcome::Done;
    if (unusable) {
        driver_->renameEnded(false, tr("The name cannot be sent to the host."));
        return Outcome::Failed;
    }
    driver_->setStatus(tr("Changing Directory"));
    send(QStringLiteral("CWD ") + withoutTrailingSlash(driver_->directory()));
    step_ = Step::AwaitCwd;
    return Outcome::GoOn;
}

ConnectionOperation::Outcome RenameOperation::handleReply(int code, const QString &line)
{
    switch (step_) {
    case Step::AwaitCwd: return handleCwdReply(code, line);
    case Step::AwaitRnfr: return handleRnfrReply(code, line);
    case Step::AwaitRnto: return handleRntoReply(code, line);
    }
    return Outcome::Gone;
}

ConnectionOperation::Outcome RenameOperation::handleCwdReply(int code, const QString &line)
{
    if (code == 250) {
        driver_->setStatus(tr("Sending Source File"));
        send(QStringLiteral("RNFR ") + driver_->oldName());
        step_ = Step::AwaitRnfr;
        return Outcome::GoOn;
    }
    if (!failed(line.mid(4), tr("Couldn't Change Dir for Rename"), Prompt::Icon::None))
        return Outcome::Gone;
    driver_->renameEnded(false, line.mid(4));
    return Outcome::Failed;
}

ConnectionOperation::Outcome RenameOperation::handleRnfrReply(int code, const QString &line)
{
    if (code == 350 && !driver_->cancelled()) {
        driver_->setStatus(tr("Sending Destination File"));
        send(QStringLiteral("RNTO ") + driver_->newName());
        step_ = Step::AwaitRnto;
        return Outcome::GoOn;
    }
    // The record is told and let go before the box shows.
    RenameDriver *driver = std::exchange(driver_, nullptr);
    const bool cancelled = driver->cancelled();
    driver->renameEnded(false, cancelled ? tr("Cancelled") : line.mid(4));
    driver->operationEnded();
    if (!connectionAlive())
        return Outcome::Gone;
    if (!cancelled && !replyFailed(line, tr("Error Renaming File")))
        return Outcome::Gone;
    return Outcome::Failed;
}

ConnectionOperation::Outcome RenameOperation::handleRntoReply(int code, const QString &line)
{
    if (code != 250) {
        if (!replyFailed(line, tr("Error Renaming File")))
            return Outcome::Gone;
        driver_->renameEnded(false, line.mid(4));
        return Outcome::Failed;
    }
    driver_->setStatus(tr("File Renamed"));
    const QString directory = asDirectory(driver_->directory());
    invalidateListing(directory);
    owner().entryRenamed(hostName(), directory, driver_->oldName(), driver_->newName());
    driver_->renameEnded(true, QString());
    return Outcome::Done;
}
