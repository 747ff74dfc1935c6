#pragma once

#include <QString>
#include <QStringList>

// The list of file extensions transferred as text: one empty value per extension under the ASCII
// key, named by the extension without its dot. Names match without regard to case.

// True when the text after the last dot of fileName (the whole name when it has no dot) is listed.
bool IsAsciiExtension(const QString &fileName);

// The listed extensions in the order they were added; creates the ASCII key when it is missing.
QStringList AsciiExtensions();

// Adds the text after the last dot of a typed entry (the whole entry without a dot). Returns the
// extension added, or an empty text when there was nothing to add or the write failed.
QString AddAsciiExtension(const QString &entry);

// Removes a listed extension; false when it was not listed.
bool RemoveAsciiExtension(const QString &extension);
