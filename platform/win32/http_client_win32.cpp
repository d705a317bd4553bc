#include "platform/http_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <winhttp.h>

#include <algorithm>
#include <vector>

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

bool IsDottedIpv4(const std::string& host)
{
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
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

// WinHTTP, synchronous: a session, a connection and a request of their own for every request.
class WinHttpClient final : public HttpClient {
public:
    HttpResult Perform(const HttpRequest& r) override
    {
        HttpResult result;
        // The host comes from a module's reply; only a plain address may go into the address line.
        if (!IsDottedIpv4(r.host)) {
            result.code = kBadHost;
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
        const Handle request(::WinHttpOpenRequest(connection.get(), WideFromUtf8(r.method).c_str(),
                                                  WideFromUtf8(r.path).c_str(), nullptr, WINHTTP_NO_REFERER,
                                                  WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                                                      (r.https ? WINHTTP_FLAG_SECURE : 0)));
        if (!request) {
            result.code = LastError();
            return result;
        }
        if (r.https) {
            // Unknown authority, wrong usage, name mismatch, expired: modules carry self-made certificates.
            DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                          SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
            if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags)) {
                result.code = LastError();
                return result;
            }
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
        void* inlineBody = r.hasBody && !fromSource && !r.body.empty() ? const_cast<char*>(r.body.data()) : nullptr;
        const auto inlineSize = static_cast<DWORD>(inlineBody != nullptr ? bodySize : 0);
        if (!::WinHttpSendRequest(request.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                  headers.empty() ? 0 : static_cast<DWORD>(-1L), inlineBody, inlineSize,
                                  static_cast<DWORD>(bodySize), 0)) {
            result.code = LastError();
            return result;
        }
        bool sourceFailed = false;
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
        return ReadBody(request.get(), result);
    }

private:
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
};

}  // namespace

void HttpClient::GlobalInit() {}

HttpClient& HttpClient::System()
{
    static WinHttpClient client;
    return client;
}

}  // namespace tarrowind
