// The JSON of velloran-cli's machine-readable output (nlohmann-json): one
// object per line, in UTF-8, its members in the order they were set.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "bilingual_message.h"

namespace velloran::cli {

using Json = nlohmann::ordered_json;

// A narrow text of the program (see narrow_text.h) as a JSON string in UTF-8.
Json JsonText(std::string_view narrow);

// The object as one line without line end. Bytes that are not valid UTF-8
// become U+FFFD, so the line is always valid JSON.
std::string JsonLine(const Json &object);

// An event that carries a message: its kind, phase, id, text and English.
Json MessageEvent(std::string_view event, std::string_view phase, const Message &message);

}  // namespace velloran::cli
