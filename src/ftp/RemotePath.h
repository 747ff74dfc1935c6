#pragma once

#include <QString>

// Small helpers for absolute remote paths as the operations send them.
namespace remotepath {
// A line break would let a name smuggle further commands onto the control connection.
bool holdsLineBreak(const QString &text);
// "/a/b/" is "/a/b"; "" and "///" are "/".
QString withoutTrailingSlash(QString path);
// "/a/b" is "/a"; "/a" is "/".
QString parentOf(const QString &path);
// "/a" is "/a/"; "/a/" stays.
QString asDirectory(const QString &path);
} // namespace remotepath
