#include "ftp/TlsTrust.h"

#include <QCryptographicHash>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslError>
#include <QSslSocket>

namespace {

QString names(const QStringList &parts)
{
    return parts.join(QLatin1String(", "));
}

// "CN=host, O=Org": the parts of a subject or issuer that say who it is.
QString distinguishedName(const QSslCertificate &certificate, bool issuer)
{
    QStringList parts;
    const auto add = [&](QSslCertificate::SubjectInfo what, const char *label) {
        const QStringList values = issuer ? certificate.issuerInfo(what) : certificate.subjectInfo(what);
        if (!values.isEmpty())
            parts << QStringLiteral("%1=%2").arg(QLatin1String(label), names(values));
    };
    add(QSslCertificate::CommonName, "CN");
    add(QSslCertificate::Organization, "O");
    add(QSslCertificate::OrganizationalUnitName, "OU");
    add(QSslCertificate::LocalityName, "L");
    add(QSslCertificate::CountryName, "C");
    return parts.isEmpty() ? QStringLiteral("(none)") : parts.join(QLatin1String(", "));
}

QString protocolName(QSsl::SslProtocol protocol)
{
    switch (protocol) {
    case QSsl::TlsV1_2: return QStringLiteral("TLS 1.2");
    case QSsl::TlsV1_3: return QStringLiteral("TLS 1.3");
    default: return QStringLiteral("TLS");
    }
}

} // namespace

QString certificateFingerprint(const QSslCertificate &certificate)
{
    const QByteArray hex = certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper();
    return QString::fromLatin1(hex);
}

QList<QSslError> certificateProblems(const QList<QSslCertificate> &chain, const QString &hostName)
{
    if (chain.isEmpty())
        return {QSslError(QSslError::NoPeerCertificate)};
    return QSslCertificate::verify(chain, hostName);
}

CertificateQuestion describeCertificate(const QSslCertificate &certificate, const QList<QSslError> &problems)
{
    CertificateQuestion question;
    question.subject = distinguishedName(certificate, false);
    question.issuer = distinguishedName(certificate, true);
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm");
    question.validFrom = certificate.effectiveDate().toLocalTime().toString(format);
    question.validUntil = certificate.expiryDate().toLocalTime().toString(format);
    question.sha256 = certificateFingerprint(certificate);
    for (const QSslError &problem : problems)
        if (!question.problems.contains(problem.errorString()))
            question.problems << problem.errorString();
    return question;
}

QString tlsSummary(const QSslSocket &socket)
{
    const QSslCipher cipher = socket.sessionCipher();
    return QStringLiteral("%1, %2").arg(protocolName(socket.sessionProtocol()), cipher.name());
}
