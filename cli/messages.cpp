// Choosing the language, filling catalog messages, naming procedure texts.
#include "messages.h"

#include <cstdlib>

#include "status_meaning.h"

namespace velloran::cli {
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

Language LanguageOfLocale(const char *lcAll, const char *lcMessages, const char *lang) {
  for (const char *value : {lcAll, lcMessages, lang}) {
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).substr(0, 2) == "zh" ? Language::kChinese : Language::kEnglish;
  }
  return Language::kEnglish;
}

Language LanguageFromEnvironment() {
  return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::optional<Language> LanguageNamed(std::string_view name) {
  if (name == "zh") return Language::kChinese;
  if (name == "en") return Language::kEnglish;
  return std::nullopt;
}

Message CliMessage(std::string_view id, std::initializer_list<MessageArg> args) {
  size_t count = 0;
  const CatalogRow *rows = CatalogRows(&count);
  for (size_t i = 0; i < count; ++i) {
    if (id == rows[i].id) {
      return {rows[i].id, Fill(rows[i].zh, args, Language::kChinese), Fill(rows[i].en, args, Language::kEnglish)};
    }
  }
  return {std::string(id), std::string(id), std::string(id)};
}

Message MessageList(const std::vector<Message> &items) {
  Message list;
  for (const Message &item : items) {
    list.zh += (list.zh.empty() ? "" : "、") + item.zh;
    list.en += (list.en.empty() ? "" : ", ") + item.en;
  }
  return list;
}

Message ProcedureMessage(std::string_view text) {
  StatusMeaning meaning = MeaningOfStatusText(text);
  return {std::move(meaning.id), std::string(text), std::move(meaning.english)};
}

}  // namespace velloran::cli
