#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "localisation/language_ids.h"

namespace tarrowind {

class IniReader;

// Type bits and results of the platform's message box, as ShowMessage takes and gives them.
namespace message_box {
inline constexpr unsigned kOk = 0x0;
inline constexpr unsigned kOkCancel = 0x1;
inline constexpr unsigned kYesNoCancel = 0x3;
inline constexpr unsigned kYesNo = 0x4;
inline constexpr unsigned kIconError = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kRtlReading = 0x00100000;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
}  // namespace message_box

// Shows a modal message box over the window in front and returns the button pressed. The window layer
// installs it; without one ShowMessage shows nothing and returns 0.
using MessageBoxFunction = int (*)(const std::string& text, unsigned type);
void SetMessageBoxFunction(MessageBoxFunction function);
MessageBoxFunction CurrentMessageBoxFunction();

// Any integer type that fits an int: the arguments a text may take.
template <typename T>
concept TextArgument = std::integral<T> && !std::same_as<T, bool> && sizeof(T) <= sizeof(int);

// Every user-visible text, looked up by key in the user-editable string table, in the language chosen
// once at construction with English as the fall-back. Texts are UTF-8.
class StringTable {
public:
    static constexpr const char* kFileName = "Tarrowind.StringTable";
    // Lookups read at most this many UTF-16 code units of a text.
    static constexpr std::size_t kMaxTextUnits = 1023;

    struct Options {
        std::string tablePath;
        std::string brandPath;
        std::uint16_t languageId = kLanguageIdEnglishUs;
    };

    // The program's own: the table found by LocateTable; the system's brand file; the user's language.
    static Options SystemOptions();
    // The table beside the program, else in ../share/tarrowind from it, else in the configured prefix's
    // data folder; the first when none exists.
    static std::string LocateTable(const std::string& programDirectory);
    // Made from SystemOptions on first use, kept until the process ends.
    static const StringTable& Instance();

    explicit StringTable(Options options);
    ~StringTable();
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    const std::string& Path() const { return m_path; }
    const std::string& LanguageCode() const { return m_languageCode; }
    bool IsRightToLeft() const { return m_rightToLeft != 0; }

    // The key's text in the chosen language, else in English, unescaped and formatted with the integer
    // arguments; a text that is no format for them is shown unformatted. Empty when neither has a text.
    template <TextArgument... Args>
    std::string Text(std::string_view key, Args... args) const
    {
        const std::array<int, sizeof...(Args)> values{static_cast<int>(args)...};
        return TextWithArguments(key, values);
    }
    // As Text, with one ":" added unless the text is empty or already ends in one: field captions.
    template <TextArgument... Args>
    std::string Label(std::string_view key, Args... args) const
    {
        const std::array<int, sizeof...(Args)> values{static_cast<int>(args)...};
        return LabelWithArguments(key, values);
    }
    std::string TextWithArguments(std::string_view key, std::span<const int> args) const;
    std::string LabelWithArguments(std::string_view key, std::span<const int> args) const;

    // The key's Text in a message box of `type` (message_box bits), reading right to left when the
    // language does; returns the button pressed.
    int ShowMessage(std::string_view key, unsigned type) const;

private:
    struct Cache;
    // The parsed table, read again whenever the file has changed so that edits show at the next lookup.
    std::shared_ptr<const IniReader> Reader() const;
    std::string RawText(std::string_view key) const;

    std::string m_path;
    std::string m_languageCode;
    std::int32_t m_rightToLeft = 0;
    std::unique_ptr<Cache> m_cache;
};

template <TextArgument... Args>
std::string Text(std::string_view key, Args... args)
{
    return StringTable::Instance().Text(key, args...);
}

template <TextArgument... Args>
std::string Label(std::string_view key, Args... args)
{
    return StringTable::Instance().Label(key, args...);
}

int ShowMessage(std::string_view key, unsigned type);
bool IsRightToLeft();

}  // namespace tarrowind
