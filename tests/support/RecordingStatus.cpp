#include "RecordingStatus.h"

bool RecordingStatus::contains(const QString &part) const
{
    for (const QString &text : m_texts) {
        if (text.contains(part))
            return true;
    }
    return false;
}
