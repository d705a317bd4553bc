#include "platform/http_client.h"

#include <winsock2.h>
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/adapter_table.h"
#include "platform/module_address.h"
#include "platform/win32/wide_text.h"

namespace tarrowind {
namespace {

// Closes a WinHTTP handle; the request, the connection and the session close in reverse order of opening
// because they are declared in that order.
class Handle {
public:
    explicit Handle(HINTERNET h) : m_h(h) {}
    ~Handle()
    {
        if (m_h != nullptr) {
            ::WinHttpCloseHandle(m_h);
        }
    }
    // The handle was closed elsewhere (the key check ends a request by closing it).
    void Forget() { m_h = nullptr; }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    HINTERNET m_h;
};

// A wide copy of a secret that is wiped when it goes.
class WideSecret {
public:
    explicit WideSecret(std::string_view utf8) : m_text(WideFromUtf8(utf8)) {}
    ~WideSecret() { ::SecureZeroMemory(m_text.data(), m_text.size() * sizeof(wchar_t)); }
    WideSecret(const WideSecret&) = delete;
    WideSecret& operator=(const WideSecret&) = delete;
    const wchar_t* c_str() const { return m_text.c_str(); }

private:
    std::wstring m_text;
};

// What the key check learns of the server's key, and what it must be.
struct KeyCheck {
    std::optional<KeyFingerprint> expected;
    std::optional<KeyFingerprint> seen;
    bool refused = false;
};

std::optional<KeyFingerprint> Sha256(const BYTE* data, DWORD size)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return std::nullopt;
    }
    KeyFingerprint hash{};
    BCRYPT_HASH_HANDLE h = nullptr;
    bool ok = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &h, nullptr, 0, nullptr, 0, 0));
    ok = ok && BCRYPT_SUCCESS(::BCryptHashData(h, const_cast<BYTE*>(data), size, 0)) &&
         BCRYPT_SUCCESS(::BCryptFinishHash(h, hash.data(), static_cast<ULONG>(hash.size()), 0));
    if (h != nullptr) {
        ::BCryptDestroyHash(h);
    }
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok ? std::optional<KeyFingerprint>(hash) : std::nullopt;
}

// SHA-256 of the certificate's DER SubjectPublicKeyInfo.
std::optional<KeyFingerprint> Fingerprint(PCCERT_CONTEXT certificate)
{
    BYTE* der = nullptr;
    DWORD size = 0;
    if (!::CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &certificate->pCertInfo->SubjectPublicKeyInfo,
                               CRYPT_ENCODE_ALLOC_FLAG, nullptr, &der, &size)) {
        return std::nullopt;
    }
    const auto hash = Sha256(der, size);
    ::LocalFree(der);
    return hash;
}

// Told when the request is about to be sent, after the handshake: the key decides, and a refused one
// closes the request there. Wine sends the request line and headers whatever the callback does, so the
// body (new passwords, codes) is written only after this passed.
void CALLBACK OnStatus(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID, DWORD)
{
    auto* check = reinterpret_cast<KeyCheck*>(context);
    if (check == nullptr || status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || check->seen || check->refused) {
        return;
    }
    PCCERT_CONTEXT certificate = nullptr;
    DWORD size = sizeof certificate;
    if (::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size) && certificate != nullptr) {
        check->seen = Fingerprint(certificate);
        ::CertFreeCertificateContext(certificate);
    }
    if (!check->seen || (check->expected && *check->expected != *check->seen)) {
        check->refused = true;
        ::WinHttpCloseHandle(request);
    }
}

int LastError()
{
    const DWORD error = ::GetLastError();
    return error == 0 ? ERROR_WINHTTP_INTERNAL_ERROR : static_cast<int>(error);
}

// Writes the announced body from its source, in pieces, after the headers went out.
bool WriteBody(HINTERNET request, HttpBodySource& source, const std::atomic<bool>* abandon, bool& sourceFailed)
{
    std::vector<char> chunk(64 * 1024);
    std::uint64_t offset = 0;
    while (offset < source.Size()) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), source.Size() - offset));
        if (!source.ReadAt(offset, std::span<char>(chunk.data(), n))) {
            sourceFailed = true;
            return false;
        }
        // A synchronous request cannot be interrupted; a long body at least ends between two pieces.
        if (abandon != nullptr && abandon->load()) {
            sourceFailed = true;
            return false;
        }
        DWORD written = 0;
        if (!::WinHttpWriteData(request, chunk.data(), static_cast<DWORD>(n), &written) || written != n) {
            return false;
        }
        offset += n;
    }
    return true;
}

constexpr int kProbeMs = 5000;

// WinHTTP, synchronous: a session, a connection and a request of their own for every request.
class WinHttpClient final : public HttpClient {
public:
    explicit WinHttpClient(const HttpClientOptions& options)
        : m_adapters(options.adapters != nullptr ? *options.adapters : AdapterTable::System()),
          m_allowLoopback(options.allowLoopbackForTests)
    {
    }

    HttpResult Perform(const HttpRequest& r) override
    {
        HttpResult result;
        // The host comes from a module's reply; only a plain address may go into the address line.
        const auto address = Ipv4Address::FromText(r.host);
        if (!address) {
            result.code = kBadHost;
            return result;
        }
        if (!MayConnectTo(*address, OwnAddresses(m_adapters), m_allowLoopback)) {
            result.code = kAddressRefused;
            return result;
        }
        // Modules sit on the local network: never through a proxy.
        const Handle session(::WinHttpOpen(L"Tarrowind", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                           WINHTTP_NO_PROXY_BYPASS, 0));
        if (!session) {
            result.code = LastError();
            return result;
        }
        // No limit on resolving (the host is an address), then the request's own limits.
        if (!::WinHttpSetTimeouts(session.get(), 0, static_cast<int>(r.connectTimeoutMs), static_cast<int>(r.sendTimeoutMs),
                                  static_cast<int>(r.receiveTimeoutMs))) {
            result.code = LastError();
            return result;
        }
        const Handle connection(::WinHttpConnect(session.get(), WideFromUtf8(r.host).c_str(), r.port, 0));
        if (!connection) {
            result.code = LastError();
            return result;
        }
        // The path goes out as given; WinHTTP is asked to escape nothing in it.
        Handle request(::WinHttpOpenRequest(connection.get(), WideFromUtf8(r.method).c_str(),
                                                  WideFromUtf8(r.path).c_str(), nullptr, WINHTTP_NO_REFERER,
                                                  WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                                                      (r.https ? WINHTTP_FLAG_SECURE : 0)));
        if (!request) {
            result.code = LastError();
            return result;
        }
        // A redirect would take the credentials and the body to wherever the answer points.
        DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never) ||
            !::WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects)) {
            result.code = LastError();
            return result;
        }
        KeyCheck keyCheck{r.expectedKey, std::nullopt, false};
        if (r.https && r.expectedKey && !ProbeKey(connection.get(), keyCheck)) {
            result.serverKey = keyCheck.seen;
            result.code = kCertificateChanged;
            return result;
        }
        keyCheck.seen.reset();
        if (r.https && !CheckKeyOf(request.get(), keyCheck)) {
            result.code = LastError();
            return result;
        }
        if (r.basicAuth) {
            const WideSecret user(r.user);
            const WideSecret password(r.password);
            if (!::WinHttpSetCredentials(request.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC, user.c_str(),
                                         password.c_str(), nullptr)) {
                result.code = LastError();
                return result;
            }
        }
        std::string headerText;
        for (const std::string& header : r.headers) {
            headerText += header + "\r\n";
        }
        const std::wstring headers = WideFromUtf8(headerText);
        const bool fromSource = r.hasBody && r.bodySource != nullptr;
        const std::uint64_t bodySize = !r.hasBody ? 0 : fromSource ? r.bodySource->Size() : r.body.size();
        if (bodySize > 0xFFFFFFFEull) {
            result.code = ERROR_INVALID_PARAMETER;
            return result;
        }
        // Over TLS the body follows only once the key check passed; in plain HTTP it goes with the headers.
        const bool bodyWithHeaders = !r.https && r.hasBody && !fromSource && !r.body.empty();
        void* inlineBody = bodyWithHeaders ? const_cast<char*>(r.body.data()) : nullptr;
        const auto inlineSize = static_cast<DWORD>(inlineBody != nullptr ? bodySize : 0);
        const bool sent = ::WinHttpSendRequest(request.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                               headers.empty() ? 0 : static_cast<DWORD>(-1L), inlineBody, inlineSize,
                                               static_cast<DWORD>(bodySize), reinterpret_cast<DWORD_PTR>(r.https ? &keyCheck : nullptr));
        result.serverKey = keyCheck.seen;
        if (keyCheck.refused) {
            request.Forget();  // closed by the check
            result.code = kCertificateChanged;
            return result;
        }
        if (!sent) {
            result.code = LastError();
            return result;
        }
        if (r.https && !keyCheck.seen) {
            result.code = kCertificateChanged;  // the key was never checked
            return result;
        }
        bool sourceFailed = false;
        if (r.hasBody && !fromSource && !bodyWithHeaders && !r.body.empty()) {
            DWORD written = 0;
            if (!::WinHttpWriteData(request.get(), r.body.data(), static_cast<DWORD>(r.body.size()), &written) ||
                written != r.body.size()) {
                result.code = LastError();
                return result;
            }
        }
        if (fromSource && !WriteBody(request.get(), *r.bodySource, r.abandon, sourceFailed)) {
            // Closing the request before the announced length is reached: the module never sees a whole body.
            result.code = sourceFailed ? kBodySourceFailed : LastError();
            return result;
        }
        if (!::WinHttpReceiveResponse(request.get(), nullptr)) {
            result.code = LastError();
            return result;
        }
        DWORD status = 0;
        DWORD statusSize = sizeof status;
        if (::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                  WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
            result.status = static_cast<long>(status);
        }
        if (result.status >= 300 && result.status < 400) {
            result.code = kRedirectRefused;
            return result;
        }
        return ReadBody(request.get(), result);
    }

private:
    // Over TLS: certificates judged by their key alone (the callback), not by an authority, name or date.
    static bool CheckKeyOf(HINTERNET request, KeyCheck& check)
    {
        DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                      SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&check);
        return ::WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags) &&
               ::WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context) &&
               ::WinHttpSetStatusCallback(request, OnStatus, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0) !=
                   WINHTTP_INVALID_STATUS_CALLBACK;
    }

    // False when the server's key is refused. A request that carries nothing of the caller's ("HEAD /",
    // no credentials) meets the server's key first: some layers (Wine's) send a request whatever the callback does, so a wrong key must show
    // before the real one. The connection stays in the session for the real request where the server
    // keeps it open; where it does not, the real request is checked again on its own connection.
    static bool ProbeKey(HINTERNET connection, KeyCheck& check)
    {
        Handle probe(::WinHttpOpenRequest(connection, L"HEAD", L"/", nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          WINHTTP_FLAG_SECURE));
        // A server slow to answer a HEAD holds the real request up only briefly.
        if (!probe || !CheckKeyOf(probe.get(), check) || !::WinHttpSetTimeouts(probe.get(), 0, kProbeMs, kProbeMs, kProbeMs)) {
            return true;  // no probe: the real request is checked all the same
        }
        const bool sent = ::WinHttpSendRequest(probe.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0,
                                               reinterpret_cast<DWORD_PTR>(&check));
        if (check.refused) {
            probe.Forget();  // closed by the check
            return false;
        }
        if (sent && ::WinHttpReceiveResponse(probe.get(), nullptr)) {
            DWORD left = 0;
            ::WinHttpQueryDataAvailable(probe.get(), &left);  // the answer ends here: the connection is free
        }
        return true;  // also when the server could not be reached: the real request says why
    }

    // Reads until the server has no more; a failed read ends the request with its error and what came.
    static HttpResult& ReadBody(HINTERNET request, HttpResult& result)
    {
        std::vector<char> chunk;
        for (;;) {
            DWORD available = 0;
            if (!::WinHttpQueryDataAvailable(request, &available)) {
                result.code = LastError();
                return result;
            }
            if (available == 0) {
                return result;
            }
            if (result.body.size() + available > kMaxBodyBytes) {
                result.code = kBodyTooLarge;
                result.body.clear();
                return result;
            }
            chunk.resize(available);
            DWORD read = 0;
            if (!::WinHttpReadData(request, chunk.data(), available, &read)) {
                result.code = LastError();
                return result;
            }
            result.body.append(chunk.data(), read);
        }
    }

    AdapterTable& m_adapters;
    const bool m_allowLoopback;
};

}  // namespace

void HttpClient::GlobalInit() {}

HttpFailureKind HttpClient::KindOf(int code)
{
    switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return HttpFailureKind::NoAnswer;
    case ERROR_WINHTTP_TIMEOUT:
        return HttpFailureKind::TimedOut;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        return HttpFailureKind::Tls;
    default:
        return HttpFailureKind::Other;
    }
}

HttpClient& HttpClient::System()
{
    static WinHttpClient client{HttpClientOptions{}};
    return client;
}

std::unique_ptr<HttpClient> HttpClient::Make(const HttpClientOptions& options)
{
    return std::make_unique<WinHttpClient>(options);
}

}  // namespace tarrowind
