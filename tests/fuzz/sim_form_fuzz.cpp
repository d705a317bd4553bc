// Bytes from the network through the simulator's readers: form bodies, login queries, password
// chains, Basic credentials, multipart boundaries and upload bodies. An upload read in one piece
// and in pieces of a size the input picks must give the same summary.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "basic_auth.h"
#include "firmware_upload.h"
#include "form_parser.h"
#include "multipart_reader.h"
#include "password_chain.h"

using namespace tarrowind::sim;

namespace {

FirmwareUpload readUpload(std::string_view boundary, std::string_view body, std::size_t piece)
{
    FirmwareUploadReader reader(boundary);
    for (std::size_t at = 0; at < body.size(); at += piece) reader.feed(body.substr(at, piece));
    return reader.finish();
}

bool same(const FirmwareUpload& a, const FirmwareUpload& b)
{
    return a.complete == b.complete && a.redirectUrl == b.redirectUrl && a.filename == b.filename &&
           a.size == b.size && a.version == b.version;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto form = parseForm(text)) {
        if (form->size() > kMaxFormFields) std::abort();
        for (const auto& [name, value] : form->all()) (void)form->get(name);
    }
    if (percentDecode(text).size() > text.size()) std::abort();
    if (const auto query = parseLoginQuery(text)) (void)chainMatchesPassword(query->password, query->user);
    if (const auto chain = decodePasswordChain(text)) {
        if (chain->size() > kMaxChainCharacters) std::abort();
    }
    (void)utf16LowBytes(text);
    (void)parseBasicAuthorization(text);
    (void)firmwareVersionMarker(text);

    // First byte: piece size; up to the first line break: a Content-Type; the rest: the body.
    if (size < 2) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    std::string_view rest = text.substr(1);
    const std::size_t split = rest.find('\n');
    if (split == std::string_view::npos) return 0;
    const auto boundary = boundaryFromContentType(rest.substr(0, split));
    const std::string_view body = rest.substr(split + 1);
    const std::string_view used = boundary ? std::string_view(*boundary) : std::string_view("Tarrowind");
    const FirmwareUpload whole = readUpload(used, body, body.size() + 1);
    const FirmwareUpload pieces = readUpload(used, body, piece);
    if (!same(whole, pieces)) std::abort();
    if (whole.size > body.size()) std::abort();
    return 0;
}
