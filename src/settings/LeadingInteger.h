#pragma once

#include <QString>

// Reads a stored number the way C's atoi does: optional blanks, an optional sign, then as many
// digits as follow. "12abc" is 12, "abc" and "" are 0. Values beyond int are clamped.
int LeadingInteger(const QString &text);
