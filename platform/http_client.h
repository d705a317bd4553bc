#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/secret_wipe.h"

namespace tarrowind {

// A request body produced while it is sent, so that a large one (a firmware file) is never held in
// memory whole. Every HTTP layer announces Size() bytes, then asks for them in order.
class HttpBodySource {
public:
    virtual ~HttpBodySource() = default;
    // The body's length in bytes, announced before the first byte is sent.
    virtual std::uint64_t Size() const = 0;
    // Fills `buffer` with the body's bytes from `offset` on; `buffer` never reaches past Size(). Offsets
    // follow one another, or go back to 0 when the layer sends the body again (a redirect). False when
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
    bool https = false;  // TLS without any certificate check
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
};

struct HttpResult {
    // 0 when the request was sent and the whole answer read; otherwise the HTTP layer's error number
    // (never -1, -2 or -3).
    int code = 0;
    long status = 0;
    std::string body;
};

// The HTTP layer; replaceable for tests.
class HttpClient {
public:
    // Answers longer than this end the request with kBodyTooLarge instead of filling the memory.
    static constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;
    static constexpr int kBodyTooLarge = 63;  // the layer's own "maximum file size exceeded"
    static constexpr int kBadHost = 3;        // the layer's own "malformed address"
    static constexpr int kBodySourceFailed = 42;  // the layer's own "aborted by callback"
    static constexpr int kAborted = 42;           // the same: ended by `abandon`

    virtual ~HttpClient() = default;
    virtual HttpResult Perform(const HttpRequest& request) = 0;

    // libcurl; call GlobalInit once before any thread is started.
    static HttpClient& System();
    static void GlobalInit();
};

}  // namespace tarrowind
