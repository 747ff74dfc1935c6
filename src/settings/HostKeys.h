#pragma once

#include <QString>

class Prompt;

// Renames a host or folder key under Hosts. Nothing happens when the names are exactly equal.
// When the new name's key already opens (names match without case, so a change of case alone
// counts) the user is told "Host Name Is Not Unique" and the result is -1. Otherwise the new key
// is created (a failure returns the store's error code), the old key's values are copied to it in
// order, and the old key is deleted with everything below it. 0 when done.
int RenameHostKey(const QString &oldName, const QString &newName, Prompt &prompt);

// Why a name cannot be given to a new host or folder, or an empty text when it can: names are not
// empty, at most 255 characters, free of backslashes and control characters, not "My Computer",
// and not taken by another host or folder.
QString HostNameProblem(const QString &name);

// Why a host value cannot be stored as typed, or an empty text when it can: every value fits the
// readers' 200-byte buffer and holds no control character; Port is 1 to 65535, Type, CacheDays and
// CacheMins whole numbers, CacheType 0 to 3. key is the value's name as the readers spell it.
QString HostValueProblem(const QString &key, const QString &value);
