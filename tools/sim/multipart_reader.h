#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarrowind::sim {

// "multipart/form-data; boundary=X" (type and parameter names in any case, X plain or quoted,
// 1 to 70 characters): X. Nothing for another type or a missing or bad boundary.
std::optional<std::string> boundaryFromContentType(std::string_view contentType);

struct PartHeaders {
    std::string name;                     // from Content-Disposition: form-data; name="..."
    std::optional<std::string> filename;  // taken literally: a Windows path keeps its backslashes
    std::string contentType;
};

// Receives the parts of a body as the reader finds them. A false return stops the reader.
class PartHandler {
public:
    virtual ~PartHandler() = default;
    virtual bool partBegins(const PartHeaders& headers) = 0;
    virtual bool partData(std::string_view bytes) = 0;
    virtual bool partEnds() = 0;
};

// Reads a multipart/form-data body in pieces of any size, so a large upload is never held whole:
// it keeps at most one header block (kMaxHeaderBytes) or the few bytes that may start a boundary.
class MultipartReader {
public:
    static constexpr std::size_t kMaxHeaderBytes = 8 * 1024;
    static constexpr std::size_t kMaxParts = 32;

    MultipartReader(std::string_view boundary, PartHandler& handler);

    // False once the body is malformed or the handler stopped; stays false.
    bool feed(std::string_view bytes);
    // The closing delimiter was read (what follows it is ignored).
    bool complete() const { return m_state == State::Done; }
    bool failed() const { return m_state == State::Failed; }
    const std::string& error() const { return m_error; }

private:
    enum class State { Preamble, AfterDelimiter, Headers, Body, Done, Failed };
    bool step();   // one state transition on the pending bytes; false: needs more input
    bool fail(std::string why);
    bool readHeaders(std::string_view block, PartHeaders& headers);

    std::string m_delimiter; // CR LF "--" boundary
    PartHandler& m_handler;
    std::string m_pending;
    State m_state = State::Preamble;
    std::size_t m_parts = 0;
    std::size_t m_padding = 0;
    std::string m_error;
};

} // namespace tarrowind::sim
