#pragma once

#include <atomic>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/secret_wipe.h"

namespace tarrowind {

class AdapterTable;

// SHA-256 of a server's public key as its certificate carries it (the DER SubjectPublicKeyInfo): what
// is remembered of a module's certificate. Unlike a hash of the whole certificate it stays the same when
// a module renews its certificate with the same key.
using KeyFingerprint = std::array<std::uint8_t, 32>;

// A request body produced while it is sent, so that a large one (a firmware file) is never held in
// memory whole. Every HTTP layer announces Size() bytes, then asks for them in order.
class HttpBodySource {
public:
    virtual ~HttpBodySource() = default;
    // The body's length in bytes, announced before the first byte is sent.
    virtual std::uint64_t Size() const = 0;
    // Fills `buffer` with the body's bytes from `offset` on; `buffer` never reaches past Size(). Offsets
    // follow one another, or go back to 0 when the layer sends the body again (a retry). False when
    // the bytes cannot be given as announced (the file behind them changed): the layer then ends the
    // transfer before the body is complete, so the receiver never sees a whole body, and Perform gives
    // kBodySourceFailed.
    virtual bool ReadAt(std::uint64_t offset, std::span<char> buffer) = 0;
};

// One request to a module's web server. Every request has its own connection; nothing is reused.
struct HttpRequest {
    std::string method = "GET";
    std::string host;  // dotted IPv4 address
    std::uint16_t port = 80;
    bool https = false;  // TLS; the certificate is judged only by its key (expectedKey), never by a chain
    std::string path;    // sent as given
    bool basicAuth = true;
    std::string user;
    std::string password;
    std::vector<std::string> headers;  // extra headers, "Name: value"
    bool hasBody = false;              // POST: a body of body.size() bytes is announced and written
    std::string_view body;             // must stay valid during Perform
    // With hasBody: the body comes from here instead of `body`; must stay valid during Perform.
    HttpBodySource* bodySource = nullptr;
    long connectTimeoutMs = 60000;
    long sendTimeoutMs = 30000;     // no byte could be sent for this long
    long receiveTimeoutMs = 30000;  // no byte arrived for this long
    // When set, the request ends soon after this turns true, with kAborted (the program is stopping).
    const std::atomic<bool>* abandon = nullptr;

    // The password and a path that may carry one (a login page's query) go with the request.
    ~HttpRequest()
    {
        WipeString(password);
        WipeString(path);
    }
    // https: the server's key must have this fingerprint. It is checked in the handshake, before any
    // byte of the request leaves; another key ends the request with kCertificateChanged. None (first
    // contact): any key is taken and reported in HttpResult::serverKey.
    std::optional<KeyFingerprint> expectedKey;
};

struct HttpResult {
    HttpResult() = default;
    HttpResult(int c, long s, std::string b, std::optional<KeyFingerprint> key = std::nullopt)
        : code(c), status(s), body(std::move(b)), serverKey(key)
    {
    }

    // 0 when the request was sent and the whole answer read; otherwise the HTTP layer's error number
    // (never -1, -2 or -3).
    int code = 0;
    long status = 0;
    std::string body;
    // https: the fingerprint of the key the server showed, once the handshake got that far (also when it
    // was refused).
    std::optional<KeyFingerprint> serverKey;
};

struct HttpClientOptions {
    // Where this computer's own addresses are read, before every request; null: the system's table.
    AdapterTable* adapters = nullptr;
    // Tests only: lets requests go to 127.0.0.0/8, where their test servers listen.
    bool allowLoopbackForTests = false;
};

// What kind of trouble an error number of the HTTP layer stands for, as far as a user can act on it.
enum class HttpFailureKind { Other, NoAnswer, TimedOut, Tls };

// The HTTP layer; replaceable for tests.
class HttpClient {
public:
    // Answers longer than this end the request with kBodyTooLarge instead of filling the memory.
    static constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;
    static constexpr int kBodyTooLarge = 63;  // the layer's own "maximum file size exceeded"
    static constexpr int kBadHost = 3;        // the layer's own "malformed address"
    static constexpr int kBodySourceFailed = 42;  // the layer's own "aborted by callback"
    static constexpr int kAborted = 42;           // the same: ended by `abandon`
    // A 3xx answer: nothing is followed, as a redirect would carry the credentials and the body elsewhere.
    static constexpr int kRedirectRefused = 47;  // the layer's own "too many redirects"
    // The host cannot be a module (IsModuleAddress): nothing is sent, no connection is made.
    static constexpr int kAddressRefused = 45;  // the layer's own "interface error"
    // The server's key is not the expected one: the handshake is ended before any request byte.
    static constexpr int kCertificateChanged = 90;  // the layer's own "pinned public key does not match"

    virtual ~HttpClient() = default;
    virtual HttpResult Perform(const HttpRequest& request) = 0;

    // libcurl (WinHTTP on Windows); call GlobalInit once before any thread is started.
    static HttpClient& System();
    static void GlobalInit();
    // The kind of an error number of this platform's layer.
    static HttpFailureKind KindOf(int code);
    // The same layer with other options (tests).
    static std::unique_ptr<HttpClient> Make(const HttpClientOptions& options);
};

}  // namespace tarrowind
