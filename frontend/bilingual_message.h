// A message in Chinese and in English with a stable id, filled from a row of
// patterns: "{name}" marks a value that the caller fills in.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace velloran {

enum class Language { kChinese, kEnglish };

struct Message {
  std::string id;
  std::string zh;  // for a procedure's line: exactly the text it sent
  std::string en;
  const std::string &In(Language language) const { return language == Language::kChinese ? zh : en; }
};

// One message's patterns: id, English, Chinese.
struct MessageRow {
  const char *id;
  const char *en;
  const char *zh;
};

// A value for a "{name}" mark: the same text in both languages (a number, a
// path), or a message, whose Chinese goes into the Chinese sentence and whose
// English into the English one.
struct MessageArg {
  MessageArg(std::string_view name, std::string value) : name(name), zh(value), en(std::move(value)) {}
  MessageArg(std::string_view name, const Message &value) : name(name), zh(value.zh), en(value.en) {}
  std::string_view name;
  std::string zh;
  std::string en;
};

// The row's message with its marks filled in; a mark without a value stays.
Message FillMessage(const MessageRow &row, std::initializer_list<MessageArg> args = {});

// Messages listed one after another: "a、b" in Chinese, "a, b" in English.
Message MessageList(const std::vector<Message> &items);

}  // namespace velloran
