#pragma once

#include <QString>
#include <QStringList>

// A host's certificate that the system's certificate authorities do not vouch for (self-signed,
// expired, issued for another name): what the user is shown before deciding to trust it.
struct CertificateQuestion
{
    QString host;        // the host's name as the user knows it
    QString address;     // the address and port connected to
    QString subject;
    QString issuer;
    QString validFrom;   // local time, "yyyy-MM-dd hh:mm"
    QString validUntil;
    QString sha256;      // "AB:CD:…", 32 pairs
    QStringList problems; // why it is not trusted, in the TLS library's words
};

// Message boxes, as the engine asks for them. The windows show a QMessageBox; the command-line
// front end prints one line; tests script the answers and record the texts.
class Prompt
{
public:
    enum class Icon { None, Information, Warning, Question, Stop };
    // HostOptions offers "Host Options…" beside the other buttons, for a failure that the host's
    // options can mend. A prompt that cannot open them leaves the button out; when it is chosen,
    // the asker calls editHost.
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8, HostOptions = 0x10 };

    virtual ~Prompt() = default;

    // Shows text with caption, icon and the given buttons (an OR of Button); returns the button chosen.
    virtual int ask(const QString &text, const QString &caption, Icon icon, int buttons) = 0;

    enum class Trust { Refuse, Once, Always };
    // Whether to go on with a host whose certificate is not vouched for: not at all, for this
    // connection only, or always (its fingerprint is stored with the host). Refused by default.
    virtual Trust trustCertificate(const CertificateQuestion &question)
    {
        Q_UNUSED(question);
        return Trust::Refuse;
    }

    // Opens the options of a host, after a box answered with HostOptions. Nothing by default.
    virtual void editHost(const QString &hostName) { Q_UNUSED(hostName); }

    // Long work (a transfer, a local copy) has ended after elapsedMs: summary and body say what
    // it was. The windows may tell the desktop; nothing by default.
    virtual void workEnded(const QString &summary, const QString &body, qint64 elapsedMs)
    {
        Q_UNUSED(summary);
        Q_UNUSED(body);
        Q_UNUSED(elapsedMs);
    }

    // An OK box; most failures are reported this way.
    void message(const QString &text, const QString &caption, Icon icon = Icon::Warning)
    {
        ask(text, caption, icon, Ok);
    }
};
