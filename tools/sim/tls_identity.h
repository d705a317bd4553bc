#pragma once

#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace tarrowind::sim {

// A self-signed certificate and its key, made in memory at start and never written anywhere.
class TlsIdentity {
public:
    // Throws std::runtime_error when OpenSSL cannot make one.
    static TlsIdentity generate(const std::string& commonName);

    X509* certificate() const { return m_certificate.get(); }
    EVP_PKEY* key() const { return m_key.get(); }

private:
    struct FreeCertificate {
        void operator()(X509* x) const { X509_free(x); }
    };
    struct FreeKey {
        void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
    };
    std::unique_ptr<X509, FreeCertificate> m_certificate;
    std::unique_ptr<EVP_PKEY, FreeKey> m_key;
};

} // namespace tarrowind::sim
