#include "ftp/ReplyReader.h"

#include "settings/LeadingInteger.h"

#include <cctype>

void ReplyReader::append(const QByteArray &bytes)
{
    if (overflowed_)
        return;
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.remove(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
}

std::optional<ReplyReader::Line> ReplyReader::next()
{
    if (overflowed_)
        return std::nullopt;
    const qsizetype end = buffer_.indexOf('\n', start_);
    if (end < 0) {
        overflowed_ = buffer_.size() - start_ > MaxLineLength;
        return std::nullopt;
    }
    if (end - start_ > MaxLineLength) {
        overflowed_ = true;
        return std::nullopt;
    }
    QByteArray text = buffer_.mid(start_, end - start_);
    start_ = end + 1;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    if (text.endsWith('\r'))
        text.chop(1);
    return classify(std::move(text));
}

ReplyReader::Line ReplyReader::classify(QByteArray text)
{
    Line line;
    line.text = std::move(text);
    const QByteArray &t = line.text;
    if (!multiLineCode_.isEmpty()) {
        // Inside "NNN-": only "NNN " (or a bare "NNN") ends the reply.
        line.final = t.startsWith(multiLineCode_) && (t.size() == 3 || t.at(3) == ' ');
        if (line.final)
            multiLineCode_.clear();
    } else {
        const int code = LeadingInteger(QString::fromLatin1(t.left(16)));
        const bool dash = t.size() > 3 && t.at(3) == '-';
        line.final = code != 0 && !dash;
        // "000-" is text like "000 ": a reply that could only end in code 0 never begins.
        if (dash && code != 0 && isdigit(uchar(t.at(0))) && isdigit(uchar(t.at(1))) && isdigit(uchar(t.at(2))))
            multiLineCode_ = t.left(3);
    }
    if (line.final)
        line.code = LeadingInteger(QString::fromLatin1(t.left(16)));
    return line;
}

void ReplyReader::clear()
{
    buffer_.clear();
    start_ = 0;
    multiLineCode_.clear();
    overflowed_ = false;
}
