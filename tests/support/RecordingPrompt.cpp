#include "RecordingPrompt.h"

int RecordingPrompt::ask(const QString &text, const QString &caption, Icon icon, int buttons)
{
    const int answer = m_answers.isEmpty() ? defaultAnswer(buttons) : m_answers.dequeue();
    m_entries.append(Entry{caption, text, icon, buttons, answer});
    return answer;
}

Prompt::Trust RecordingPrompt::trustCertificate(const CertificateQuestion &question)
{
    m_questions.append(question);
    return m_trustAnswers.isEmpty() ? Trust::Refuse : m_trustAnswers.dequeue();
}

int RecordingPrompt::defaultAnswer(int buttons)
{
    if (buttons & Ok)
        return Ok;
    if (buttons & Yes)
        return Yes;
    for (int bit = 1; bit != 0 && bit <= buttons; bit <<= 1) {
        if (buttons & bit)
            return bit;
    }
    return Ok;
}

bool RecordingPrompt::contains(const QString &caption, const QString &textPart) const
{
    for (const Entry &entry : m_entries) {
        if ((caption.isEmpty() || entry.caption == caption) && entry.text.contains(textPart))
            return true;
    }
    return false;
}

QString RecordingPrompt::dump() const
{
    QString out;
    for (const Entry &entry : m_entries)
        out += entry.caption + QLatin1String(": ") + entry.text + QLatin1Char('\n');
    return out;
}
