#pragma once

#include "platform/Prompt.h"
#include "settings/Fingerprint.h"

#include <QList>
#include <QString>

class QSslCertificate;
class QSslError;
class QSslSocket;

// How a host's connections are encrypted (its Encryption value).
enum class Encryption {
    None = 0,      // plain FTP
    WhenOffered = 1, // AUTH TLS when the host accepts it, plain otherwise
    Required = 2,  // AUTH TLS or no login: nothing is sent in clear
    Implicit = 3,  // TLS from the first byte (port 990 by custom)
};

// The SHA-256 fingerprint of a certificate as "AB:CD:…" (32 pairs of upper-case digits).
QString certificateFingerprint(const QSslCertificate &certificate);

// Why the system's certificate authorities do not vouch for this chain for the host name; empty
// when they do.
QList<QSslError> certificateProblems(const QList<QSslCertificate> &chain, const QString &hostName);

// What the user is shown before deciding whether to trust a certificate.
CertificateQuestion describeCertificate(const QSslCertificate &certificate, const QList<QSslError> &problems);

// "TLS 1.3, TLS_AES_256_GCM_SHA384": the protocol and cipher of an encrypted socket.
QString tlsSummary(const QSslSocket &socket);
