#pragma once

#include <QString>

// Text that may have come from a host (a reply, a name, a path), made safe to show: every control
// character but line feed and tab (C0, DEL, C1) becomes "\xNN" and every bidi override or
// isolate (U+202A-U+202E, U+2066-U+2069) becomes "\u{NNNN}", so that a host can neither drive
// the user's terminal nor reorder what a window shows. Everything else is kept as it is.
QString safeText(const QString &text);
