#pragma once

#include <QString>

// Application values: the named values of the root key Software\Vemal\Portolan.

// Reads the value into buffer. A value that is missing, or whose UTF-8 form with its terminating
// NUL needs more than bufferSize bytes, empties the buffer and gives -1; success gives 0.
int GetAppValue(const QString &name, QString &buffer, int bufferSize);

// Writes the value, creating the root key when needed. A failure loses the value; the result says
// whether it was written, for callers that want to tell the user.
bool SetAppValue(const QString &name, const QString &text);

// The value, or an empty text when it is missing or does not fit bufferSize bytes.
QString AppValue(const QString &name, int bufferSize = 1000);
