#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Small parsers shared by the command line and the standard-input commands, so a studio or a
// number is read the same way in both.
namespace orvane::sim {

// A studio letter A..E (either case) as 0..4.
std::optional<int> parseStudio(std::string_view text);

// A whole decimal number within [low, high]; signs, spaces and trailing text are refused.
std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t low, std::int64_t high);

std::vector<std::string_view> splitWords(std::string_view line);

}  // namespace orvane::sim
