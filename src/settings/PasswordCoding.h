#pragma once

#include <QString>

// The stored form of host passwords. The character at position i has the low seven bits of its
// UTF-16 code unit rotated by (i mod 5) + 1 places, right to encode and left to decode; all higher
// bits stay as they are. For ASCII text this is the classic byte form ("abc" encodes to 70 58 3C),
// no character becomes NUL, and since the bits that make a surrogate or set the UTF-8 length are
// untouched, any valid text stays valid text of the same UTF-8 length.
void EncodePassword(QString &password);
void DecodePassword(QString &password);
