// The command line in the reader's language: the help (CLI11's labels and
// groups included) and CLI11's parse errors, as messages of the catalog.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "messages.h"

namespace CLI {
class App;
class Error;
class Validator;
}  // namespace CLI

namespace velloran::cli {

// The language that --lang zh|en (or --lang=zh|en) before "--" asks for;
// otherwise the locale's. Known before parsing, so that the parser's own
// help and errors speak it too.
Language LanguageOfArguments(const std::vector<std::string> &args);

// The text of a catalog message in a language.
std::string CatalogText(std::string_view id, Language language, std::initializer_list<MessageArg> args = {});

// The help of app and of its commands in the language: labels, groups, type
// names and the help flag. Called once every option and command is added.
void TranslateHelp(CLI::App &app, Language language);

// Where a value check that failed leaves its message (CLI11's own would be
// English): the option, the value given and what it may be.
struct ValueProblem {
  std::optional<Message> message;
};

// The value must be one of names; the help shows "{a,b,c}".
CLI::Validator OneOf(const std::string &option, const std::vector<std::string> &names, ValueProblem &problem);
// The value must be a whole number from low to high.
CLI::Validator Between(const std::string &option, unsigned low, unsigned high, Language language,
                       ValueProblem &problem);

// The message for an error that CLI11 raised while parsing app's arguments
// (a check's message in problem comes first). Values from the command line
// are escaped for printing.
Message ParseErrorMessage(const CLI::Error &error, const CLI::App &app, const ValueProblem &problem);

}  // namespace velloran::cli
