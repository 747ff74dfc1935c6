#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Names on a host are bytes. They are read as UTF-8; each byte that is not part of valid UTF-8 is
// kept as the lone surrogate U+DC80 + byte, so that the text holds every byte the host sent, in a
// name and in any path built from such names, and encodeRemoteName gives exactly those bytes back
// for a command or a cache file. A name the user typed holds no such character and goes out as
// UTF-8. Where a name is shown, or becomes a local file name, shownRemoteName reads the kept bytes
// as Latin-1: the host's "caf\xe9" is shown, and saved locally, as "café".

QString decodeRemoteName(QByteArrayView bytes);
QByteArray encodeRemoteName(QStringView text);
QString shownRemoteName(const QString &text);

// False for names that must never reach the file system or a command: empty, "." and "..", and
// names holding "/", "\", or a control character (below U+0020, or U+007F), NUL, CR and LF
// among them.
bool isAcceptableRemoteName(QStringView name);
// The same test on the bytes before decoding; both readings of the bytes give the same answer.
bool isAcceptableRemoteNameBytes(QByteArrayView name);
