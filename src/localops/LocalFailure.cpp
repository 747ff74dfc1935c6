#include "localops/LocalFailure.h"

#include <system_error>

QString LocalFailure::message(const QString &shownPath) const
{
    const char *format = "Couldn't copy %1: %2";
    switch (action) {
    case Action::Read:
        format = "Couldn't read the folder %1: %2";
        break;
    case Action::Copy:
        break;
    case Action::Create:
        format = "Couldn't create the folder %1: %2";
        break;
    case Action::Delete:
        format = "Couldn't delete %1: %2";
        break;
    case Action::Remove:
        format = "Couldn't remove the folder %1: %2";
        break;
    case Action::CopyIntoItself:
        return QStringLiteral("The folder %1 can't be copied into itself or into a folder below it.").arg(shownPath);
    case Action::CopyOntoItself:
        return QStringLiteral("%1 can't be copied onto itself.").arg(shownPath);
    }
    return QString::fromLatin1(format).arg(shownPath, reason);
}

QString systemReason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}
