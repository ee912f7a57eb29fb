#include "SimText.h"

#include <charconv>

namespace orvane::sim {

std::optional<int> parseStudio(std::string_view text) {
    if (text.size() != 1) {
        return std::nullopt;
    }
    const char letter = text[0];
    if (letter >= 'A' && letter <= 'E') {
        return letter - 'A';
    }
    if (letter >= 'a' && letter <= 'e') {
        return letter - 'a';
    }
    return std::nullopt;
}

std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t low,
                                        std::int64_t high) {
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    std::size_t start = line.find_first_not_of(kSpace);
    while (start != std::string_view::npos) {
        const std::size_t end = line.find_first_of(kSpace, start);
        words.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        start = line.find_first_not_of(kSpace, end);
    }
    return words;
}

}  // namespace orvane::sim
