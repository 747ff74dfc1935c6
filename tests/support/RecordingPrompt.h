#pragma once

#include "platform/Prompt.h"

#include <QList>
#include <QQueue>
#include <QString>

// A Prompt for tests: records every box and answers from a queue the test fills. With the
// queue empty it answers Ok if offered, else Yes, else the first button offered.
//
//     RecordingPrompt prompt;
//     prompt.queueAnswer(Prompt::No);
//     ... the engine asks "Overwrite?" and gets No ...
//     QVERIFY(prompt.contains("Confirm", "already exists"));
//
// Certificate questions are answered from a queue of their own (Refuse when it is empty) and
// recorded apart from the boxes:
//
//     prompt.queueTrust(Prompt::Trust::Once);
//     ... connect ...
//     QCOMPARE(prompt.certificateQuestions().size(), 1);
class RecordingPrompt : public Prompt
{
public:
    struct Entry
    {
        QString caption;
        QString text;
        Icon icon = Icon::None;
        int buttons = 0;
        int answer = 0;
    };

    int ask(const QString &text, const QString &caption, Icon icon, int buttons) override;
    Trust trustCertificate(const CertificateQuestion &question) override;

    void queueTrust(Trust answer) { m_trustAnswers.enqueue(answer); }
    QList<CertificateQuestion> certificateQuestions() const { return m_questions; }

    void queueAnswer(int button) { m_answers.enqueue(button); }
    int pendingAnswers() const { return int(m_answers.size()); }

    QList<Entry> entries() const { return m_entries; }
    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    QString lastText() const { return m_entries.isEmpty() ? QString() : m_entries.last().text; }
    QString lastCaption() const { return m_entries.isEmpty() ? QString() : m_entries.last().caption; }
    // True if a box had this caption (any caption if empty) and a text containing textPart.
    bool contains(const QString &caption, const QString &textPart) const;
    // Every box as "caption: text", one a line, for failure messages.
    QString dump() const;
    void clear()
    {
        m_entries.clear();
        m_answers.clear();
        m_questions.clear();
        m_trustAnswers.clear();
    }

    static int defaultAnswer(int buttons);

private:
    QList<Entry> m_entries;
    QQueue<int> m_answers;
    QList<CertificateQuestion> m_questions;
    QQueue<Trust> m_trustAnswers;
};
