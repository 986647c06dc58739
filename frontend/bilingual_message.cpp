// Filling a message's marks in each language.
#include "bilingual_message.h"

#include <algorithm>

namespace velloran {
namespace {

std::string Fill(std::string_view pattern, std::initializer_list<MessageArg> args, Language language) {
  std::string filled;
  for (size_t i = 0; i < pattern.size();) {
    const size_t close = pattern[i] == '{' ? pattern.find('}', i) : std::string_view::npos;
    if (close != std::string_view::npos) {
      const auto arg = std::ranges::find(args, pattern.substr(i + 1, close - i - 1), &MessageArg::name);
      if (arg != args.end()) {
        filled += language == Language::kChinese ? arg->zh : arg->en;
        i = close + 1;
        continue;
      }
    }
    filled += pattern[i++];
  }
  return filled;
}

}  // namespace

Message FillMessage(const MessageRow &row, std::initializer_list<MessageArg> args) {
  return {row.id, Fill(row.zh, args, Language::kChinese), Fill(row.en, args, Language::kEnglish)};
}

Message MessageList(const std::vector<Message> &items) {
  Message list;
  for (const Message &item : items) {
    list.zh += (list.zh.empty() ? "" : "、") + item.zh;
    list.en += (list.en.empty() ? "" : ", ") + item.en;
  }
  return list;
}

}  // namespace velloran
