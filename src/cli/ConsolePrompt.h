#pragma once

#include "platform/Prompt.h"
#include "platform/StatusLine.h"

#include <QTextStream>

// The console's message boxes and status line: each becomes one line on stderr. A box that asks
// a question is answered on a terminal when stdin is one, else with its safest choice.
class ConsolePrompt : public Prompt, public StatusLine
{
public:
    explicit ConsolePrompt(QTextStream &err);

    int ask(const QString &text, const QString &caption, Icon icon, int buttons) override;
    // Shows the certificate; asks on a terminal, else refuses unless new certificates are accepted.
    Trust trustCertificate(const CertificateQuestion &question) override;
    void showStatus(const QString &text) override;

    // --accept-new-cert: a certificate nobody vouches for is trusted always, without a question.
    void setAcceptNewCertificates(bool on) { acceptNew_ = on; }

private:
    QTextStream &err_;
    bool acceptNew_ = false;
};
