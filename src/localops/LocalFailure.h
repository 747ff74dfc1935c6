#pragma once

#include <QString>

// One thing a local copy or delete could not do: what, on which path (native), and why (the
// system's reason, or a sentence of ours where the system has none).
struct LocalFailure
{
    enum class Action {
        Read,           // listing a folder
        Copy,           // a file or link
        Create,         // a folder of the copy
        Delete,         // a file or link
        Remove,         // a folder
        CopyIntoItself, // a folder selected for a copy into itself or below itself: nothing was done
        CopyOntoItself, // a file selected for a copy onto itself: nothing was done
    };

    Action action = Action::Copy;
    QString path;
    QString reason;

    // "Couldn't delete /x/y: Permission denied", with the path as shown (the caller's form).
    QString message(const QString &shownPath) const;
    // True for the two refusals that stop a copy before anything is written.
    bool isRefusal() const { return action == Action::CopyIntoItself || action == Action::CopyOntoItself; }

    bool operator==(const LocalFailure &) const = default;
};

// The system's reason for errno value error: "Permission denied", "Not a directory".
QString systemReason(int error);
