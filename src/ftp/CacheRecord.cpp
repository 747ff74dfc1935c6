#include "CacheRecord.h"

#include "ftp/RemoteName.h"

#include <QtEndian>

namespace {

constexpr qsizetype kHeaderBytes = 9;
constexpr quint32 kWideSize = 0xFFFFFFFF;

void appendLittleEndian(QByteArray &out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char(value >> (8 * i) & 0xFF);
}

// Reads one record at the start of data; gives the bytes it took, or 0 when it is not sound.
qsizetype readRecord(QByteArrayView data, ListingEntry &entry)
{
    if (data.size() < kHeaderBytes)
        return 0;
    const auto *bytes = reinterpret_cast<const uchar *>(data.data());
    entry.kind = bytes[0] <= ListingEntry::Link ? ListingEntry::Kind(bytes[0]) : ListingEntry::File;
    entry.dateTime = quint32(qFromLittleEndian<quint16>(bytes + 1)) | quint32(qFromLittleEndian<quint16>(bytes + 3)) << 16;
    entry.size = qFromLittleEndian<quint32>(bytes + 5);
    qsizetype at = kHeaderBytes;
    if (entry.size == kWideSize) {
        if (data.size() < at + 8)
            return 0;
        entry.size = qFromLittleEndian<quint64>(bytes + at);
        at += 8;
    }
    const QByteArrayView rest = data.sliced(at).first(std::min(data.size() - at, CacheRecord::MaxNameBytes + 1));
    const qsizetype end = rest.indexOf('\n');
    if (end < 0)
        return 0; // no line end within the longest name: cut short or too long
    const QByteArrayView name = rest.first(end);
    if (!isAcceptableRemoteNameBytes(name))
        return 0;
    entry.name = decodeRemoteName(name);
    return at + end + 1;
}

} // namespace

bool CacheRecord::append(QByteArray &out, const ListingEntry &entry)
{
    const QByteArray name = encodeRemoteName(entry.name);
    if (name.size() > MaxNameBytes || !isAcceptableRemoteNameBytes(name))
        return false;
    out += char(entry.kind);
    appendLittleEndian(out, entry.dateTime, 4); // date then time, each little-endian
    if (entry.size >= kWideSize) {
        appendLittleEndian(out, kWideSize, 4);
        appendLittleEndian(out, entry.size, 8);
    } else {
        appendLittleEndian(out, entry.size, 4);
    }
    out += name;
    out += '\n';
    return true;
}

std::optional<QList<ListingEntry>> CacheRecord::readAll(QByteArrayView data)
{
    QList<ListingEntry> entries;
    entries.reserve(data.size() / 24);
    while (!data.isEmpty()) {
        ListingEntry entry;
        const qsizetype taken = readRecord(data, entry);
        if (taken == 0)
            return std::nullopt;
        entries.append(std::move(entry));
        data = data.sliced(taken);
    }
    return entries;
}
