#include "platform/sha256.h"

#include <openssl/evp.h>

namespace tarrowind {

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool ok = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::Update(std::string_view bytes)
{
    m_state->ok = m_state->ok && EVP_DigestUpdate(m_state->context, bytes.data(), bytes.size()) == 1;
}

std::optional<Sha256Digest> Sha256::Finish()
{
    Sha256Digest digest{};
    unsigned int length = 0;
    const bool ok = m_state->ok && EVP_DigestFinal_ex(m_state->context, digest.data(), &length) == 1 &&
                    length == digest.size();
    m_state->ok = EVP_DigestInit_ex(m_state->context, EVP_sha256(), nullptr) == 1;
    if (!ok) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace tarrowind
