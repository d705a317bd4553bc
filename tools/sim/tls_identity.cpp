#include "tls_identity.h"

#include <openssl/err.h>
#include <openssl/rand.h>

#include <cstdint>
#include <stdexcept>

namespace tarrowind::sim {

namespace {

[[noreturn]] void failed(const char* step)
{
    char detail[256] = "";
    ERR_error_string_n(ERR_get_error(), detail, sizeof detail);
    throw std::runtime_error(std::string("cannot make the TLS certificate (") + step + "): " + detail);
}

constexpr long kValidSeconds = 10L * 365 * 24 * 3600;

} // namespace

TlsIdentity TlsIdentity::generate(const std::string& commonName)
{
    TlsIdentity identity;
    // P-256 keeps start-up quick; the clients check no certificate anyway.
    identity.m_key.reset(EVP_EC_gen("P-256"));
    if (!identity.m_key) failed("key");

    identity.m_certificate.reset(X509_new());
    X509* cert = identity.m_certificate.get();
    if (!cert) failed("certificate");
    std::uint64_t serial = 0;
    if (RAND_bytes(reinterpret_cast<unsigned char*>(&serial), sizeof serial) != 1) failed("serial");
    serial >>= 1; // positive
    if (X509_set_version(cert, 2) != 1 ||
        ASN1_INTEGER_set_uint64(X509_get_serialNumber(cert), serial) != 1 ||
        !X509_gmtime_adj(X509_getm_notBefore(cert), -3600) ||
        !X509_gmtime_adj(X509_getm_notAfter(cert), kValidSeconds) ||
        X509_set_pubkey(cert, identity.m_key.get()) != 1)
        failed("fields");
    X509_NAME* name = X509_get_subject_name(cert);
    if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                                   -1, -1, 0) != 1 ||
        X509_set_issuer_name(cert, name) != 1)
        failed("name");
    if (X509_sign(cert, identity.m_key.get(), EVP_sha256()) <= 0) failed("signature");
    return identity;
}

} // namespace tarrowind::sim
