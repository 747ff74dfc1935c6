#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The 32-bit date and time of a listing entry. The low 16 bits are the date (bits 0-6 year - 1980,
// bits 7-10 month, bits 11-15 day), the high 16 bits the time (bits 0-4 hour, bits 5-10 minute,
// bits 11-15 seconds / 2). 0 means the date is unknown.
namespace PackedDateTime {

constexpr int MinYear = 1980;
constexpr int MaxYear = 1980 + 127;

// 0 when a field does not fit: a year outside MinYear..MaxYear, a month above 12, a day above
// 31, an hour above 23, a minute or second above 59. Month and day 0 are kept, as a listing can
// give them. Odd seconds are rounded down.
quint32 pack(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

constexpr quint16 datePart(quint32 packed) { return quint16(packed & 0xFFFF); }
constexpr quint16 timePart(quint32 packed) { return quint16(packed >> 16); }
constexpr int year(quint32 packed) { return MinYear + int(packed & 0x7F); }
constexpr int month(quint32 packed) { return int((packed >> 7) & 0x0F); }
constexpr int day(quint32 packed) { return int((packed >> 11) & 0x1F); }
constexpr int hour(quint32 packed) { return int((packed >> 16) & 0x1F); }
constexpr int minute(quint32 packed) { return int((packed >> 21) & 0x3F); }
constexpr int second(quint32 packed) { return int((packed >> 27) & 0x1F) * 2; }

// Local time, as the local directory scan gives it; 0 for an invalid or unrepresentable time.
quint32 fromDateTime(const QDateTime &dateTime);
// Local time; invalid for 0 and for a date that does not exist (month or day 0, 30 February).
QDateTime toDateTime(quint32 packed);

// "YYYY-MM-DD HH:MM", empty for 0.
QString format(quint32 packed);

} // namespace PackedDateTime
