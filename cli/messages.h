// The messages velloran-cli shows, each with a stable id, in Chinese and in
// English.
//
// The procedures' status lines and message boxes are shown as they were sent
// (Chinese), or in English when the reader's language is English; their ids
// and English renderings come from status_meaning.h. The tool's own messages
// live in the catalog of message_catalog.cpp: one row per message,
//     {"port_missing", "{port} does not exist", "{port}不存在"},
// id, English, Chinese; "{name}" marks a value filled in by CliMessage.
// To add a message, add its row there; message_catalog tests check that ids
// are unique and that both languages name the same values. The sentences on
// the printer's state after a stop come from printer_state.h, which the
// dialog shares.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "bilingual_message.h"
#include "status_meaning.h"

namespace velloran::cli {

// The language of a locale: the first of LC_ALL, LC_MESSAGES and LANG that
// is set and not empty decides; Chinese when it starts with "zh", English
// otherwise (and when none is set).
Language LanguageOfLocale(const char *lcAll, const char *lcMessages, const char *lang);
// The same from this process's environment.
Language LanguageFromEnvironment();
// "zh" or "en" (as --lang takes them).
std::optional<Language> LanguageNamed(std::string_view name);

// A message of the catalog with its "{name}" marks filled in. An id that is
// not in the catalog gives a message whose texts name the id.
Message CliMessage(std::string_view id, std::initializer_list<MessageArg> args = {});

// A status line or message-box text of a procedure.
Message ProcedureMessage(const StatusReport &report);

// The name of a phase ("Erasing the flash"), and the widest of them in a
// language (in columns), where bars line up.
Message PhaseMessage(UpgradePhase phase);
int WidestPhaseName(Language language);

// The catalog's rows, for checks over all of them.
using CatalogRow = MessageRow;
const CatalogRow *CatalogRows(size_t *count);

}  // namespace velloran::cli
