// Filling a message's marks in each language.
#include "bilingual_message.h"

namespace velloran {
namespace {

std::string Fill(std::string_view pattern, std::initializer_list<MessageArg> args, Language language) {
  std::string filled;
  for (size_t i = 0; i < pattern.size();) {
    if (pattern[i] == '{') {
      const size_t close = pattern.find('}', i);
      if (close != std::string_view::npos) {
        const std::string_view name = pattern.substr(i + 1, close - i - 1);
        bool found = false;
        for (const MessageArg &arg : args) {
          if (arg.name == name) {
            filled += language == Language::kChinese ? arg.zh : arg.en;
            found = true;
            break;
          }
        }
        if (found) {
          i = close + 1;
          continue;
        }
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
