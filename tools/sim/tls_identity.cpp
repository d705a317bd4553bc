#include "tls_identity.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
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
    // P-256 keeps start-up quick.
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key) failed("key");
    return certify(commonName, key);
}

TlsIdentity TlsIdentity::withKeyFile(const std::string& commonName, const std::string& keyFile)
{
    if (FILE* in = std::fopen(keyFile.c_str(), "r")) {
        EVP_PKEY* key = PEM_read_PrivateKey(in, nullptr, nullptr, nullptr);
        std::fclose(in);
        if (!key) failed(("reading the key file " + keyFile).c_str());
        return certify(commonName, key);
    }
    TlsIdentity identity = generate(commonName);
    const int fd = ::open(keyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    FILE* out = fd < 0 ? nullptr : ::fdopen(fd, "w");
    const bool written = out != nullptr &&
                         PEM_write_PrivateKey(out, identity.key(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (out != nullptr) std::fclose(out);
    else if (fd >= 0) ::close(fd);
    if (!written) throw std::runtime_error("cannot write the key file " + keyFile);
    return identity;
}

TlsIdentity TlsIdentity::certify(const std::string& commonName, EVP_PKEY* key)
{
    TlsIdentity identity;
    identity.m_key.reset(key);

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
