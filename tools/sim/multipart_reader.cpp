#include "multipart_reader.h"

#include <algorithm>

#include "platform/ascii_case.h"

namespace tarrowind::sim {

namespace {

constexpr std::size_t kMaxBoundary = 70;
constexpr std::size_t kMaxPadding = 64;

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Characters RFC 2046 allows in a boundary.
bool boundaryCharacter(char c)
{
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return std::string_view("'()+_,-./:=? ").find(c) != std::string_view::npos;
}

// Splits "a; k=v; k2=\"v;2\"" at the semicolons outside quotes; calls out(key, value) for each
// parameter after the first piece, with quotes taken off. False for an unterminated quote.
template <typename Out>
bool forEachParameter(std::string_view text, std::string_view& first, Out out)
{
    bool firstPiece = true;
    while (true) {
        std::size_t end = 0;
        bool quoted = false;
        while (end < text.size() && (quoted || text[end] != ';')) {
            if (text[end] == '"') quoted = !quoted;
            ++end;
        }
        if (quoted) return false;
        const std::string_view piece = trim(text.substr(0, end));
        if (firstPiece) {
            first = piece;
            firstPiece = false;
        } else if (!piece.empty()) {
            const std::size_t eq = piece.find('=');
            if (eq == std::string_view::npos) return false;
            std::string_view value = trim(piece.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            else if (value.find('"') != std::string_view::npos) return false;
            out(trim(piece.substr(0, eq)), value);
        }
        if (end >= text.size()) return true;
        text.remove_prefix(end + 1);
    }
}

} // namespace

std::optional<std::string> boundaryFromContentType(std::string_view contentType)
{
    if (contentType.size() > 1024) return std::nullopt;
    std::string_view type;
    std::optional<std::string> boundary;
    bool duplicate = false;
    const bool ok = forEachParameter(contentType, type, [&](std::string_view key, std::string_view value) {
        if (!EqualsIgnoringAsciiCase(key, "boundary")) return;
        if (boundary) duplicate = true;
        boundary = std::string(value);
    });
    if (!ok || duplicate || !EqualsIgnoringAsciiCase(type, "multipart/form-data") || !boundary) return std::nullopt;
    if (boundary->empty() || boundary->size() > kMaxBoundary || boundary->back() == ' ') return std::nullopt;
    if (!std::all_of(boundary->begin(), boundary->end(), boundaryCharacter)) return std::nullopt;
    return boundary;
}

MultipartReader::MultipartReader(std::string_view boundary, PartHandler& handler)
    : m_delimiter("\r\n--" + std::string(boundary)), m_handler(handler)
{
    // The first delimiter opens the body without a line break before it; pretend there was one.
    m_pending = "\r\n";
    if (boundary.empty()) fail("empty boundary");
}

bool MultipartReader::fail(std::string why)
{
    m_state = State::Failed;
    m_error = std::move(why);
    m_pending.clear();
    return false;
}

bool MultipartReader::feed(std::string_view bytes)
{
    if (m_state == State::Failed) return false;
    if (m_state == State::Done) return true;
    m_pending.append(bytes);
    while (step()) {
    }
    return m_state != State::Failed;
}

bool MultipartReader::readHeaders(std::string_view block, PartHeaders& headers)
{
    bool disposition = false;
    while (!block.empty()) {
        const std::size_t end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view{} : block.substr(end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return fail("part header line without ':'");
        const std::string_view name = trim(line.substr(0, colon));
        const std::string_view value = trim(line.substr(colon + 1));
        if (EqualsIgnoringAsciiCase(name, "Content-Disposition")) {
            if (disposition) return fail("two Content-Disposition headers in one part");
            disposition = true;
            std::string_view kind;
            bool named = false;
            const bool ok = forEachParameter(value, kind, [&](std::string_view key, std::string_view text) {
                if (EqualsIgnoringAsciiCase(key, "name")) {
                    headers.name = std::string(text);
                    named = true;
                } else if (EqualsIgnoringAsciiCase(key, "filename")) {
                    headers.filename = std::string(text);
                }
            });
            if (!ok) return fail("bad Content-Disposition parameters");
            if (!EqualsIgnoringAsciiCase(kind, "form-data")) return fail("part is not form-data");
            if (!named) return fail("part without a name");
        } else if (EqualsIgnoringAsciiCase(name, "Content-Type")) {
            headers.contentType = std::string(value);
        }
    }
    if (!disposition) return fail("part without Content-Disposition");
    return true;
}

bool MultipartReader::step()
{
    const std::size_t keep = m_delimiter.size() - 1;
    switch (m_state) {
    case State::Preamble: {
        const std::size_t at = m_pending.find(m_delimiter);
        if (at == std::string::npos) {
            if (m_pending.size() > keep) m_pending.erase(0, m_pending.size() - keep);
            return false;
        }
        m_pending.erase(0, at + m_delimiter.size());
        m_state = State::AfterDelimiter;
        m_padding = 0;
        return true;
    }
    case State::AfterDelimiter: {
        // Transport padding (blanks) may sit between a boundary and its line break.
        while (!m_pending.empty() && (m_pending.front() == ' ' || m_pending.front() == '\t')) {
            if (++m_padding > kMaxPadding) return fail("too much padding after a boundary");
            m_pending.erase(0, 1);
        }
        if (m_pending.size() < 2) return false;
        if (m_pending.compare(0, 2, "--") == 0) {
            m_state = State::Done;
            m_pending.clear();
            return false;
        }
        if (m_pending.compare(0, 2, "\r\n") != 0) return fail("boundary not followed by a line break");
        if (m_parts == kMaxParts) return fail("too many parts");
        ++m_parts;
        m_pending.erase(0, 2);
        m_state = State::Headers;
        return true;
    }
    case State::Headers: {
        std::size_t blockEnd = 0;
        std::size_t skip = 0;
        if (m_pending.size() >= 2 && m_pending.compare(0, 2, "\r\n") == 0) {
            skip = 2; // no headers at all
        } else {
            blockEnd = m_pending.find("\r\n\r\n");
            if (blockEnd == std::string::npos || blockEnd > kMaxHeaderBytes) {
                if (m_pending.size() > kMaxHeaderBytes + 4) return fail("part headers too long");
                return false;
            }
            skip = blockEnd + 4;
        }
        PartHeaders headers;
        if (!readHeaders(std::string_view(m_pending).substr(0, blockEnd), headers)) return false;
        m_pending.erase(0, skip);
        if (!m_handler.partBegins(headers)) return fail("part refused");
        m_state = State::Body;
        return true;
    }
    case State::Body: {
        const std::size_t at = m_pending.find(m_delimiter);
        if (at == std::string::npos) {
            if (m_pending.size() > keep) {
                const std::size_t safe = m_pending.size() - keep;
                if (!m_handler.partData(std::string_view(m_pending).substr(0, safe))) return fail("part data refused");
                m_pending.erase(0, safe);
            }
            return false;
        }
        if (at > 0 && !m_handler.partData(std::string_view(m_pending).substr(0, at))) return fail("part data refused");
        if (!m_handler.partEnds()) return fail("part refused at its end");
        m_pending.erase(0, at + m_delimiter.size());
        m_state = State::AfterDelimiter;
        m_padding = 0;
        return true;
    }
    case State::Done:
    case State::Failed:
        return false;
    }
    return false;
}

} // namespace tarrowind::sim
