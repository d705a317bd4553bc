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
    // The same with the key kept in `keyFile` (PEM, the owner's only): read when it exists, else made and
    // written there. A client that remembers the key then meets the same one after a restart.
    static TlsIdentity withKeyFile(const std::string& commonName, const std::string& keyFile);

    X509* certificate() const { return m_certificate.get(); }
    EVP_PKEY* key() const { return m_key.get(); }

private:
    static TlsIdentity certify(const std::string& commonName, EVP_PKEY* key);
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
