// Writing JSON lines.
#include "json_output.h"

#include "narrow_text.h"

namespace velloran::cli {

Json JsonText(std::string_view narrow) { return Json(platform::NarrowTextToUtf8(narrow)); }

std::string JsonLine(const Json &object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json MessageEvent(std::string_view event, std::string_view phase, const Message &message) {
  Json object;
  object["event"] = event;
  object["phase"] = phase;
  object["id"] = message.id;
  object["text"] = JsonText(message.zh);
  object["en"] = JsonText(message.en);
  return object;
}

}  // namespace velloran::cli
