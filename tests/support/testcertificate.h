#pragma once
// The TLS certificate of the tests' HTTPS servers, and trusting it.

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>

inline QByteArray tlsFile(const char* name)
{
    QFile file(QStringLiteral(PARLOWEN_TEST_DATA "/tls/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A server certificate and key, self-signed for 127.0.0.1 and localhost.
inline QSslConfiguration serverTls()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(tlsFile("localhost-cert.pem")));
    tls.setPrivateKey(QSslKey(tlsFile("localhost-key.pem"), QSsl::Ec));
    return tls;
}

// The certificate of every provider's real host name, signed by the test CA
// that tests/support/in-private-network-as-providers alone trusts.
inline QSslConfiguration providerTls()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(tlsFile("providers-cert.pem")));
    tls.setPrivateKey(QSslKey(tlsFile("providers-key.pem"), QSsl::Ec));
    return tls;
}

// While it lives, the test certificate is trusted as a browser's own would be.
class TrustedTestCertificate {
public:
    TrustedTestCertificate()
    {
        QSslConfiguration trusting = m_original;
        trusting.addCaCertificate(QSslCertificate(tlsFile("localhost-cert.pem")));
        QSslConfiguration::setDefaultConfiguration(trusting);
    }
    ~TrustedTestCertificate() { QSslConfiguration::setDefaultConfiguration(m_original); }
    Q_DISABLE_COPY_MOVE(TrustedTestCertificate)

private:
    const QSslConfiguration m_original = QSslConfiguration::defaultConfiguration();
};
