#pragma once

#include <QByteArray>
#include <optional>

// Splits the bytes of a control connection into reply lines and tells which line ends a reply.
//
//   220-Welcome            begins a multi-line reply: only "220 ..." ends it
//     200 bytes free       inside it, just text
//   220 Ready              final line, code 220
//
// Outside a multi-line reply a line is final when its leading number is not 0 and its fourth
// character is not "-". Lines are bounded, so a host that never sends a line end cannot make the
// buffer grow without end.
class ReplyReader
{
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    struct Line
    {
        QByteArray text; // without "\n" and without a trailing "\r"
        bool final = false;
        int code = 0; // leading number of a final line
    };

    void append(const QByteArray &bytes);
    // The next complete line, if one is waiting.
    std::optional<Line> next();
    // True once a line (complete or not) is longer than MaxLineLength; nothing more is read then.
    bool overflowed() const { return overflowed_; }
    // Bytes of a line whose end has not come yet are waiting.
    bool holdsPartialLine() const { return start_ < buffer_.size(); }
    void clear();

private:
    Line classify(QByteArray text);

    QByteArray buffer_;
    qsizetype start_ = 0;       // first byte not yet taken
    QByteArray multiLineCode_;  // "NNN" while inside a multi-line reply
    bool overflowed_ = false;
};
