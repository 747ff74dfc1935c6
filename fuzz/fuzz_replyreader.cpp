// The reply reader on bytes from a hostile host, cut into chunks the way a socket may deliver them.
//
// The first input byte steers, the rest is what the host sends. Its low five bits set the scale
// of the chunk sizes (which vary from chunk to chunk); with bit 6 the first line is stretched,
// by repeating its start, to MaxLineLength - 2 bytes (bit 5 clear) or MaxLineLength (bit 5 set)
// before its line end, so that lines meet the bound from both sides.
//
// Checks: the lines are those of a plain split of the whole stream up to the first line longer
// than MaxLineLength, and overflowed() is set exactly when such a line (complete or not) came;
// no line is longer than the bound or holds a line end; the same lines, with the same final
// flags and codes, whatever the chunk boundaries; a final line has a code other than 0.

#include "FuzzCheck.h"
#include "ftp/ReplyReader.h"

#include <QList>


namespace {

bool sameLine(const ReplyReader::Line &a, const ReplyReader::Line &b)
{
    return a.text == b.text && a.final == b.final && a.code == b.code;
}

void take(ReplyReader &reader, QList<ReplyReader::Line> &lines)
{
    while (auto line = reader.next()) {
        FUZZ_CHECK(!reader.overflowed());
        lines.append(std::move(*line));
    }
}

// What a plain split of the whole stream gives: the lines, and whether the bound is passed.
QList<QByteArray> expectedLines(const QByteArray &stream, bool *overflow)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    *overflow = false;
    for (qsizetype end = stream.indexOf('\n'); end >= 0; end = stream.indexOf('\n', start)) {
        if (end - start > ReplyReader::MaxLineLength) {
            *overflow = true;
            return lines;
        }
        QByteArray line = stream.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    *overflow = stream.size() - start > ReplyReader::MaxLineLength;
    return lines;
}

// The host's bytes, the first line stretched when the steering byte asks for it.
QByteArray streamOf(uchar steer, QByteArray bytes)
{
    if (!(steer & 0x40))
        return bytes;
    qsizetype end = bytes.indexOf('\n');
    if (end < 0)
        end = bytes.size();
    if (end > 0 && bytes.at(end - 1) == '\r')
        --end;
    const QByteArray start = end > 0 ? bytes.left(end) : QByteArray("x");
    const qsizetype length = ReplyReader::MaxLineLength - ((steer & 0x20) ? 0 : 2);
    QByteArray line = start.repeated(length / start.size() + 1).left(length);
    return line + bytes.mid(end);
}

// Chunk sizes from 1 to 8 times the scale, in a fixed sequence; a stretched line comes in chunks
// of at least 256 bytes, so that a run tries many inputs rather than a few long trickles.
class ChunkSizes
{
public:
    explicit ChunkSizes(uchar steer) : scale_(1 + (steer & 0x1f)), least_(steer & 0x40 ? 256 : 1), state_(steer) {}
    qsizetype next()
    {
        state_ = state_ * 1103515245u + 12345u;
        return least_ + qsizetype((state_ >> 16) % (8 * scale_));
    }

private:
    quint32 scale_;
    qsizetype least_;
    quint32 state_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray stream = streamOf(data[0], QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1)));
    ChunkSizes sizes(data[0]);
    ReplyReader chunked;
    QList<ReplyReader::Line> lines;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype length = sizes.next();
        chunked.append(stream.mid(at, length));
        at += length;
        take(chunked, lines);
    }

    bool overflow = false;
    const QList<QByteArray> expected = expectedLines(stream, &overflow);
    FUZZ_CHECK(chunked.overflowed() == overflow);
    FUZZ_CHECK(lines.size() == expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ReplyReader::Line &line = lines[i];
        FUZZ_CHECK(line.text == expected[i]);
        FUZZ_CHECK(line.text.size() <= ReplyReader::MaxLineLength);
        FUZZ_CHECK(!line.text.contains('\n'));
        FUZZ_CHECK(!line.final || line.code != 0);
        FUZZ_CHECK(line.final || line.code == 0);
    }

    // The whole stream at once gives the same lines.
    ReplyReader whole;
    whole.append(stream);
    QList<ReplyReader::Line> wholeLines;
    take(whole, wholeLines);
    FUZZ_CHECK(whole.overflowed() == overflow);
    FUZZ_CHECK(wholeLines.size() == lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        FUZZ_CHECK(sameLine(wholeLines[i], lines[i]));

    // Nothing more once over the bound; a cleared reader starts afresh.
    if (overflow) {
        chunked.append("200 OK\r\n");
        FUZZ_CHECK(!chunked.next());
        chunked.clear();
        chunked.append("200 OK\r\n");
        const auto fresh = chunked.next();
        FUZZ_CHECK(fresh && fresh->final && fresh->code == 200);
    }
    return 0;
}
