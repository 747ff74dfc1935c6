#pragma once

#include "platform/StatusLine.h"

#include <QStringList>

// A StatusLine for tests: keeps every text in order.
class RecordingStatus : public StatusLine
{
public:
    void showStatus(const QString &text) override { m_texts << text; }

    QStringList texts() const { return m_texts; }
    QString last() const { return m_texts.isEmpty() ? QString() : m_texts.last(); }
    int count() const { return int(m_texts.size()); }
    // True if some text contains part.
    bool contains(const QString &part) const;
    void clear() { m_texts.clear(); }

private:
    QStringList m_texts;
};
