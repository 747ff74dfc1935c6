#pragma once

#include <QString>

// One-line status texts: the frame's status bar, the CLI's stderr, a test's record.
class StatusLine
{
public:
    virtual ~StatusLine() = default;
    virtual void showStatus(const QString &text) = 0;
};
