#pragma once

#include <QString>

// Certificate fingerprints as stored with a host (CertSha256) and as typed: SHA-256 in hexadecimal,
// whatever the case and whether pairs are split by colons or spaces.

// 64 hexadecimal digits, pairs optionally split by colons or spaces.
bool isFingerprint(const QString &text);
// The same fingerprint; never true for an empty one.
bool sameFingerprint(const QString &a, const QString &b);
