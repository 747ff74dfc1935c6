#pragma once

#include "dialogs/CDialog.h"
#include "platform/Prompt.h"

class QTextEdit;

// "Untrusted Certificate": a host presented a certificate that the system's authorities do not
// vouch for. Shows why, who it names and its SHA-256 fingerprint, and asks whether to trust it for
// this connection, always, or not at all. Cancel is the default; closing the window refuses.
class CertificateDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId {
        IdCancel = 2,
        IdText = 100,
        IdTrustOnce = 101,
        IdTrustAlways = 102,
        IdProblems = 103,
        IdSubject = 104,
        IdIssuer = 105,
        IdValidFrom = 106,
        IdValidUntil = 107,
        IdFingerprint = 108,
    };

    CertificateDialog(QWidget *parent, const CertificateQuestion &question);

    Prompt::Trust choice() const { return choice_; }

    // Asks through the installed dialog runner.
    static Prompt::Trust ask(QWidget *parent, const CertificateQuestion &question);

    // A fingerprint ("AB:CD:…", 32 pairs) as a read-only, selectable block of monospace text, 16
    // pairs a line, as tall as its text. An empty fingerprint shows as emptyText.
    static QTextEdit *fingerprintView(const QString &fingerprint, const QString &emptyText = QString());
    static void setFingerprint(QTextEdit *view, const QString &fingerprint, const QString &emptyText);

public slots:
    void reject() override;

private:
    void choose(Prompt::Trust choice);

    Prompt::Trust choice_ = Prompt::Trust::Refuse;
};
