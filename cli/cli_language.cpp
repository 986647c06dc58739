// CLI11's help and errors in the reader's language. CLI11 builds its error
// texts in English; the kind of error and the names in it are taken from the
// error and the parser, and the message comes from the catalog.
#include "cli_language.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

#include "decimal_digits.h"
#include "printable_text.h"
#include "progress_bar.h"

namespace velloran::cli {
namespace {

// CLI11's help labels and the catalog's texts for them.
struct HelpLabel {
  const char *label;
  const char *id;
};
constexpr HelpLabel kLabels[] = {{"Usage", "help_label_usage"},       {"OPTIONS", "help_label_options"},
                                 {"SUBCOMMAND", "help_label_command"}, {"REQUIRED", "help_label_required"},
                                 {"Excludes", "help_label_excludes"},  {"Positionals", "help_group_positionals"}};

// The type names CLI11 gives to the values (FILE and IMAGE name a value
// that the descriptions refer to, so they stay).
constexpr HelpLabel kTypeNames[] = {{"TEXT", "help_type_text"}, {"UINT", "help_type_number"}};

// The kind of an error by its class: CLI11 names some errors after the
// command instead.
template <class Kind>
bool Is(const CLI::Error &error) {
  return dynamic_cast<const Kind *>(&error) != nullptr;
}

// CLI11's formatter pads the option column by bytes; this one by columns,
// so that Chinese labels keep the descriptions aligned.
class ColumnFormatter : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option *option, bool positional) const override {
    const std::string name = "  " + make_option_name(option, positional) + make_option_opts(option);
    const std::string indent(column_width_, ' ');
    const auto used = static_cast<size_t>(NarrowTextWidth(name));
    std::string line = name + std::string(used < column_width_ ? column_width_ - used : 0, ' ');
    const std::string description = make_option_desc(option);
    if (!description.empty() && used >= column_width_) line += "\n" + indent;
    for (const char c : description) {
      line += c;
      if (c == '\n') line += indent;
    }
    return line + "\n";
  }
};

void TranslateCommand(CLI::App &app, const std::shared_ptr<CLI::FormatterBase> &formatter, Language language) {
  app.formatter(formatter);
  if (CLI::Option *help = app.get_help_ptr()) help->description(CatalogText("help_help", language));
  for (CLI::Option *option : app.get_options()) {
    if (option->get_group() == "Options") option->group(CatalogText("help_group_options", language));
    const std::string type = option->get_type_name();
    const std::string base = type.substr(0, type.find(':'));
    for (const HelpLabel &name : kTypeNames) {
      if (base == name.label) option->type_name(CatalogText(name.id, language));
    }
  }
  for (CLI::App *command : app.get_subcommands([](CLI::App *) { return true; })) {
    command->group(CatalogText("help_group_commands", language));
    TranslateCommand(*command, formatter, language);
  }
}

// What the parser of app and of its commands left over, in their order.
std::vector<std::string> LeftOver(const CLI::App &app) {
  std::vector<std::string> left = app.remaining();
  for (const CLI::App *command : app.get_subcommands([](const CLI::App *) { return true; })) {
    const std::vector<std::string> more = LeftOver(*command);
    left.insert(left.end(), more.begin(), more.end());
  }
  return left;
}

// CLI11 names an option first in its messages: "--link: ...".
std::string NameBefore(const std::string &text, std::string_view end) {
  return PrintableText(text.substr(0, std::min(text.size(), text.find(end))));
}

}  // namespace

Language LanguageOfArguments(const std::vector<std::string> &args) {
  for (auto arg = args.begin(); arg != args.end() && *arg != "--"; ++arg) {
    std::optional<Language> named;
    if (*arg == "--lang" && arg + 1 != args.end()) named = LanguageNamed(*(arg + 1));
    if (arg->rfind("--lang=", 0) == 0) named = LanguageNamed(arg->substr(7));
    if (named) return *named;
  }
  return LanguageFromEnvironment();
}

std::string CatalogText(std::string_view id, Language language, std::initializer_list<MessageArg> args) {
  return CliMessage(id, args).In(language);
}

void TranslateHelp(CLI::App &app, Language language) {
  auto formatter = std::make_shared<ColumnFormatter>();
  for (const HelpLabel &label : kLabels) formatter->label(label.label, CatalogText(label.id, language));
  TranslateCommand(app, formatter, language);
}

CLI::Validator OneOf(const std::string &option, const std::vector<std::string> &names, ValueProblem &problem) {
  std::string allowed;
  for (const std::string &name : names) allowed += (allowed.empty() ? "" : ",") + name;
  allowed = "{" + allowed + "}";
  return CLI::Validator(
      [option, names, allowed, &problem](std::string &value) -> std::string {
        if (std::find(names.begin(), names.end(), value) != names.end()) return {};
        problem.message = CliMessage("usage_not_one_of",
                                     {{"option", option}, {"value", PrintableText(value)}, {"allowed", allowed}});
        return problem.message->en;
      },
      allowed);
}

CLI::Validator Between(const std::string &option, unsigned low, unsigned high, Language language,
                       ValueProblem &problem) {
  const std::string lowText = std::to_string(low), highText = std::to_string(high);
  return CLI::Validator(
      [=, &problem](std::string &value) -> std::string {
        const std::optional<unsigned> number =
            value.size() <= highText.size() ? platform::DecimalDigitsValue(value) : std::nullopt;
        if (number && *number >= low && *number <= high) return {};
        problem.message = CliMessage("usage_out_of_range", {{"option", option},
                                                            {"value", PrintableText(value)},
                                                            {"low", lowText},
                                                            {"high", highText}});
        return problem.message->en;
      },
      CatalogText("help_range", language, {{"low", lowText}, {"high", highText}}));
}

Message ParseErrorMessage(const CLI::Error &error, const CLI::App &app, const ValueProblem &problem) {
  const std::string what = error.what();
  if (Is<CLI::ValidationError>(error) && problem.message) return *problem.message;
  // A mistyped option leaves its option missing too: the typo is the cause.
  if (Is<CLI::ExtrasError>(error) || Is<CLI::RequiredError>(error)) {
    const std::vector<std::string> left = LeftOver(app);
    // An unknown option is the cause; what follows it is only left over.
    for (const std::string &arg : left) {
      if (arg.size() > 1 && arg.front() == '-') return CliMessage("usage_unknown_option", {{"option", PrintableText(arg)}});
    }
    if (!left.empty() && Is<CLI::ExtrasError>(error)) {
      return CliMessage("usage_unexpected_argument", {{"argument", PrintableText(left.front())}});
    }
  }
  if (Is<CLI::RequiredError>(error) && what.ends_with(" is required"))
    return CliMessage("usage_missing", {{"option", NameBefore(what, " is required")}});
  if (Is<CLI::ExcludesError>(error) && what.find(" excludes ") != std::string::npos) {
    const size_t split = what.find(" excludes ");
    return CliMessage("usage_excludes",
                      {{"option", NameBefore(what, " excludes ")}, {"other", PrintableText(what.substr(split + 10))}});
  }
  if (Is<CLI::ArgumentMismatch>(error)) {
    const bool tooMany = what.find(": At Most ") != std::string::npos;
    return CliMessage(tooMany ? "usage_given_more_than_once" : "usage_needs_value", {{"option", NameBefore(what, ":")}});
  }
  if (Is<CLI::ConversionError>(error) && what.rfind("Could not convert: ", 0) == 0) {
    const std::string rest = what.substr(19);
    const size_t split = rest.find(" = ");
    if (split != std::string::npos) {
      return CliMessage("usage_not_convertible",
                        {{"option", PrintableText(rest.substr(0, split))}, {"value", PrintableText(rest.substr(split + 3))}});
    }
  }
  if (Is<CLI::ConversionError>(error)) return CliMessage("usage_flag_value", {{"option", NameBefore(what, ":")}});
  // A kind this command line cannot raise: CLI11's own words.
  return CliMessage("usage_other", {{"detail", PrintableText(what)}});
}

}  // namespace velloran::cli
