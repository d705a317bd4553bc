#include "form_parser.h"

namespace tarrowind::sim {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && text.size() - i >= 3) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

const std::string* FormFields::get(std::string_view name) const
{
    for (const auto& [key, value] : m_fields)
        if (key == name) return &value;
    return nullptr;
}

std::optional<FormFields> parseForm(std::string_view body)
{
    if (body.size() > kMaxFormBytes) return std::nullopt;
    if (body.size() >= 2 && body.substr(body.size() - 2) == "\r\n") body.remove_suffix(2);
    FormFields fields;
    while (!body.empty()) {
        const std::size_t amp = body.find('&');
        const std::string_view piece = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view{} : body.substr(amp + 1);
        if (piece.empty()) continue;
        if (fields.size() == kMaxFormFields) return std::nullopt;
        const std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos) fields.add(std::string(piece), {});
        else fields.add(std::string(piece.substr(0, eq)), percentDecode(piece.substr(eq + 1)));
    }
    return fields;
}

std::optional<LoginQuery> parseLoginQuery(std::string_view target)
{
    if (target.size() > kMaxFormBytes) return std::nullopt;
    const std::size_t question = target.find('?');
    if (question == std::string_view::npos) return std::nullopt;
    std::string_view query = target.substr(question + 1);
    constexpr std::string_view kUser = "user=";
    constexpr std::string_view kPassword = "&pswd=";
    if (query.substr(0, kUser.size()) != kUser) return std::nullopt;
    query.remove_prefix(kUser.size());
    const std::size_t split = query.rfind(kPassword);
    if (split == std::string_view::npos) return std::nullopt;
    return LoginQuery{percentDecode(query.substr(0, split)), std::string(query.substr(split + kPassword.size()))};
}

} // namespace tarrowind::sim
