// Connection: the login (greeting, USER, PASS, SYST, FEAT) and its encryption: AUTH TLS or
// implicit TLS, the decision whether to trust the host's certificate, PBSZ and PROT.

#include "ftp/Connection.h"

#include "ftp/ConnectionOwner.h"
#include "ftp/SessionMonitor.h"
#include "platform/StatusLine.h"

#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

void Connection::loginFailed(const QString &text, const QString &caption, bool mendable)
{
    setState(Closed);
    dropSocket(false);
    const QString host = hostName();
    Prompt &prompt = pool_->prompt();
    QPointer<Connection> self(this);
    const int chosen = prompt.ask(text, caption, Prompt::Icon::Warning,
                                  Prompt::Ok | (mendable ? Prompt::HostOptions : 0));
    // Whatever waited for the login is told it will not run.
    if (self)
        endQueue(true, text);
    if (chosen == Prompt::HostOptions)
        prompt.editHost(host);
}

void Connection::handleGreeting(int code)
{
    if (code != 220) {
        loginFailed(tr("Host is Responding but Unavailable"), tr("Message"));
        return;
    }
    if (tlsActive_ || encryption_ == Encryption::None || encryption_ == Encryption::Implicit) {
        sendUser();
        return;
    }
    if (!QSslSocket::supportsSsl()) {
        if (encryption_ == Encryption::Required) {
            startTls(); // fails, saying why
            return;
        }
        showStatus(tr("No TLS library: logging in without encryption"));
        sendUser();
        return;
    }
    sendCommand(QStringLiteral("AUTH TLS"));
    setState(AwaitAuthReply);
}

void Connection::sendUser()
{
    if (!sendCommand(QStringLiteral("USER ") + userName_)) {
        loginFailed(tr("The user name holds a line break and cannot be sent."), tr("Login Error"), true);
        return;
    }
    setState(AwaitUserReply);
}

void Connection::handleUserReply(int code)
{
    if (code == 230) {
        handlePassReply(code); // logged in without a password (an anonymous login that asks none)
        return;
    }
    if (code != 331) {
        loginFailed(tr("Invalid Username"), tr("Login Error"), true);
        return;
    }
    if (!sendCommand(QStringLiteral("PASS ") + password_)) {
        loginFailed(tr("The password holds a line break and cannot be sent."), tr("Login Error"), true);
        return;
    }
    setState(AwaitPassReply);
}

void Connection::handlePassReply(int code)
{
    if (code != 230) {
        loginFailed(tr("Invalid Password"), tr("Login Error"), true);
        return;
    }
    showStatus(tr("Log-in Complete"));
    if (tlsActive_) {
        // Data connections are encrypted too: no buffer size (TLS has none), then Private.
        sendCommand(QStringLiteral("PBSZ 0"));
        setState(AwaitPbszReply);
        return;
    }
    afterLogin();
}

void Connection::afterLogin()
{
    if (hostType_ != 0) {
        featureStep();
        return;
    }
    sendCommand(QStringLiteral("SYST"));
    setState(AwaitSystReply);
}

void Connection::handleSystReply(int code, const QString &line)
{
    if (code != 215) {
        loginFailed(tr("Error Receiving Hosts Type"), tr("Login Error"), true);
        return;
    }
    hostType_ = line.contains(QLatin1String("VMS"))          ? VmsHost
                : line.contains(QLatin1String("Windows_NT")) ? WindowsHost
                                                             : UnixHost;
    featureStep();
}

void Connection::featureStep()
{
    if (featuresKnown_) {
        utf8Step();
        return;
    }
    sendCommand(QStringLiteral("FEAT"));
    setState(AwaitFeatReply);
}

void Connection::handleFeatReply(int code, const QString &line)
{
    // A host that does not know FEAT offers nothing beyond the basic commands.
    featuresKnown_ = true;
    if (code == 211)
        features_ = ParseFeatReply(replyText_ + line);
    utf8Step();
}

void Connection::utf8Step()
{
    if (!features_.utf8) {
        TakeNextCommand();
        return;
    }
    // Names are read as UTF-8 in any case; this tells hosts that need to be told. Whatever the
    // answer, the session goes on.
    sendCommand(QStringLiteral("OPTS UTF8 ON"));
    setState(AwaitOptsReply);
}


// ---------------------------------------------------------------------------------------------
// Encryption

void Connection::handleAuthReply(int code, const QString &line)
{
    if (code == 234) {
        startTls();
        return;
    }
    if (encryption_ == Encryption::Required) {
        loginFailed(tr("The host refused an encrypted connection: %1\n\nThis host requires encryption, so "
                       "the user name and password were not sent.")
                        .arg(line),
                    tr("Login Error"), true);
        return;
    }
    showStatus(tr("The host offers no encryption; logging in without it"));
    sendUser();
}

void Connection::startTls()
{
    if (!QSslSocket::supportsSsl()) {
        loginFailed(tr("This computer's TLS library (OpenSSL 3) could not be loaded, and this host "
                       "needs encryption. Nothing was sent."),
                    tr("Login Error"), true);
        return;
    }
    setState(AwaitHandshake);
    // The certificate is judged once the handshake is done (decideTrust), where the user can be
    // asked without holding up the TLS library.
    socket_->setPeerVerifyMode(QSslSocket::VerifyNone);
    socket_->setPeerVerifyName(hostAddressText(address_));
    socket_->startClientEncryption();
}

void Connection::decideTrust()
{
    if (state_ != AwaitHandshake || !socket_ || !socket_->isEncrypted())
        return;
    QPointer<Connection> self(this);
    if (!certificateTrusted())
        return;
    tlsActive_ = true;
    const QString summary = tlsSummary(*socket_);
    if (monitor_)
        monitor_->ShowNote(tr("Encrypted with %1").arg(summary));
    showStatus(tr("Encrypted connection (%1)").arg(summary));
    if (encryption_ == Encryption::Implicit) {
        setState(AwaitGreeting);
        readReplies(); // the greeting may have come while the user decided
    } else {
        sendUser();
    }
}

bool Connection::certificateTrusted()
{
    const QSslCertificate certificate = socket_->peerCertificate();
    const QString fingerprint = certificateFingerprint(certificate);
    controlFingerprint_ = fingerprint;
    // The user's own word first: checking against the system's authorities costs a tenth of a
    // second (their certificates are read for every check).
    const QString stored = pool_->trustedCertificate(hostIndex_);
    if (sameFingerprint(fingerprint, trustedOnce_) || sameFingerprint(fingerprint, stored))
        return true;
    const QList<QSslError> problems = certificateProblems(socket_->peerCertificateChain(), hostAddressText(address_));
    if (problems.isEmpty())
        return true;
    if (!stored.isEmpty()) {
        // Never replaced silently: the host, or someone between, presents another certificate.
        loginFailed(tr("The certificate of %1 has changed since it was trusted.\n\nTrusted fingerprint "
                       "(SHA-256):\n%2\nPresented now:\n%3\n\nSomeone may be intercepting the connection. "
                       "Nothing was sent. If the host's owner replaced the certificate, remove the "
                       "trusted one in the host's options and connect again.")
                        .arg(peerText(), stored, fingerprint),
                    tr("Certificate Changed"), true);
        return false;
    }
    CertificateQuestion question = describeCertificate(certificate, problems);
    question.host = hostName();
    question.address = tr("%1, port %2").arg(address_).arg(peerPort_);
    QPointer<Connection> self(this);
    holdTimers();
    const Prompt::Trust trust = pool_->prompt().trustCertificate(question);
    if (!self || !alive())
        return false;
    resumeTimers();
    if (state_ != AwaitHandshake || !socket_)
        return false; // the host went away while the user decided
    switch (trust) {
    case Prompt::Trust::Refuse:
        refuseSession(withHost(tr("The host's certificate was not trusted; nothing was sent")));
        return false;
    case Prompt::Trust::Always:
        if (!pool_->storeTrustedCertificate(hostIndex_, fingerprint))
            failed(tr("The certificate's fingerprint could not be stored; it is trusted for this "
                      "connection only."),
                   tr("Error"));
        break;
    case Prompt::Trust::Once:
        break;
    }
    trustedOnce_ = fingerprint;
    return self && alive();
}

void Connection::refuseSession(const QString &text)
{
    setState(Closed);
    dropSocket(false);
    ConnectionOwner *pool = pool_;
    endQueue(true, text);
    pool->status().showStatus(text);
}

void Connection::handlePbszReply(int code, const QString &line)
{
    if (code != 200) {
        dataProtectionRefused(line);
        return;
    }
    sendCommand(QStringLiteral("PROT P"));
    setState(AwaitProtReply);
}

void Connection::handleProtReply(int code, const QString &line)
{
    if (code != 200) {
        dataProtectionRefused(line);
        return;
    }
    protectData_ = true;
    afterLogin();
}

void Connection::dataProtectionRefused(const QString &line)
{
    if (encryption_ != Encryption::WhenOffered) {
        loginFailed(tr("The host refused to encrypt data connections: %1\n\nThis host requires "
                       "encryption, so nothing is transferred.")
                        .arg(line),
                    tr("Login Error"), true);
        return;
    }
    showStatus(tr("The host does not encrypt data connections; files and listings go in clear"));
    afterLogin();
}

std::optional<QSslConfiguration> Connection::dataTls() const
{
    if (!protectData_ || !socket_)
        return std::nullopt;
    // The control connection's configuration holds its session; each data connection resumes it,
    // which many hosts require (vsftpd's require_ssl_reuse). The certificate was settled on the
    // control connection; a data connection must show the same one (checked once it is up).
    QSslConfiguration configuration = socket_->sslConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

void Connection::foreignDataCertificate(const QString &fingerprint)
{
    connectionLost(withHost(tr("A data connection presented a certificate other than the host's "
                               "(SHA-256 %1). Someone may be intercepting the connection; the "
                               "transfer was stopped.")
                                .arg(fingerprint)),
                   tr("Certificate Error"));
}
