#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Names on a host are bytes. They are read as UTF-8; bytes that are not valid UTF-8 are read as
// Latin-1 instead, so that every byte keeps a character of its own and nothing turns into U+FFFD.
//
// Sending a name back: encodeRemoteName with the flag decodeRemoteName gave (kept in
// ListingEntry::nameIsLatin1) gives the very bytes the host sent. A name the user typed has no
// such flag and goes out as UTF-8.

// The text of a name; wasLatin1, when given, tells whether the Latin-1 fallback was taken.
QString decodeRemoteName(QByteArrayView bytes, bool *wasLatin1 = nullptr);

// The bytes to send for a name: Latin-1 when it was read that way (and still fits), else UTF-8.
QByteArray encodeRemoteName(QStringView name, bool wasLatin1);

// False for names that must never reach the file system or a command: empty, "." and "..", and
// names holding "/", "\", or a control character (below U+0020, or U+007F), NUL, CR and LF
// among them.
bool isAcceptableRemoteName(QStringView name);
// The same test on the bytes before decoding; both readings of the bytes give the same answer.
bool isAcceptableRemoteNameBytes(QByteArrayView name);
