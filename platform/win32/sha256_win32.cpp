#include "platform/sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

namespace tarrowind {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;

    State()
    {
        ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
        Start();
    }
    ~State()
    {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
        }
        if (algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }
    void Start()
    {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
            hash = nullptr;
        }
        ok = algorithm != nullptr && BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    }
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::Update(std::string_view bytes)
{
    // The provider takes at most 4 GiB a call.
    while (m_state->ok && !bytes.empty()) {
        const std::size_t n = std::min<std::size_t>(bytes.size(), 0x40000000u);
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
        m_state->ok = BCRYPT_SUCCESS(BCryptHashData(m_state->hash, data, static_cast<ULONG>(n), 0));
        bytes.remove_prefix(n);
    }
}

std::optional<Sha256Digest> Sha256::Finish()
{
    Sha256Digest digest{};
    const bool ok =
        m_state->ok && BCRYPT_SUCCESS(BCryptFinishHash(m_state->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    m_state->Start();
    if (!ok) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace tarrowind
