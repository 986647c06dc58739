// Message ids, the two languages, and the choice of language by the locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "image_facts.h"
#include "messages.h"
#include "status_meaning.h"
#include "upgrade_texts.h"

namespace velloran::cli {
namespace {

// The names of the "{name}" marks in a text.
std::set<std::string> Marks(const std::string &text) {
  std::set<std::string> marks;
  for (size_t open = text.find('{'); open != std::string::npos; open = text.find('{', open + 1)) {
    const size_t close = text.find('}', open);
    if (close != std::string::npos) marks.insert(text.substr(open + 1, close - open - 1));
  }
  return marks;
}

bool IsId(const std::string &id) {
  const auto allowed = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; };
  return !id.empty() && id[0] >= 'a' && id[0] <= 'z' && std::all_of(id.begin(), id.end(), allowed);
}

TEST(MessageCatalog, IdsAreUniqueAndBothLanguagesNameTheSameValues) {
  size_t count = 0;
  const CatalogRow *rows = CatalogRows(&count);
  ASSERT_GT(count, 10u);
  std::set<std::string> ids;
  for (size_t i = 0; i < count; ++i) {
    EXPECT_TRUE(ids.insert(rows[i].id).second) << "twice: " << rows[i].id;
    EXPECT_TRUE(IsId(rows[i].id)) << rows[i].id;
    EXPECT_EQ(Marks(rows[i].en), Marks(rows[i].zh)) << rows[i].id;
    EXPECT_STRNE(rows[i].en, rows[i].zh) << rows[i].id;
  }
}

TEST(MessageCatalog, FillsTheMarks) {
  const Message message = CliMessage("upgrade_completed", {{"bytes", "5120"}, {"seconds", "13.3"}});
  EXPECT_EQ(message.id, "upgrade_completed");
  EXPECT_EQ(message.en, "Upgrade completed: wrote 5120 bytes in 13.3 s");
  EXPECT_EQ(message.In(Language::kChinese), "升级完成：已写入5120字节，用时13.3秒");
  // A value that holds braces is not read as a mark.
  EXPECT_EQ(CliMessage("bad_port", {{"detail", "{x} {detail}"}}).en, "{x} {detail}");
  EXPECT_EQ(CliMessage("no_such_message").en, "no_such_message");
  // A message as a value: each language's sentence takes it in that language.
  const Message failed = CliMessage(
      "upgrade_failed_before_start",
      {{"reason", MessageList({CliMessage("stopped_by_sigterm"), CliMessage("upgrade_failed_unreported")})}});
  EXPECT_EQ(failed.en, "Upgrade failed before the printer was contacted: by SIGTERM, the procedure ended without a "
                       "completed finish");
  EXPECT_EQ(failed.zh, "升级失败，未与打印机通信：被SIGTERM、升级过程未正常结束");
}

TEST(Duration, SecondsMinutesOrHoursAndMinutes) {
  EXPECT_EQ(DurationText(14249).en, "14.2 s");
  EXPECT_EQ(DurationText(754000).en, "12 min 34 s");
  EXPECT_EQ(DurationText(19537100).en, "5 h 26 min");
  EXPECT_EQ(DurationText(19537100).zh, "5小时26分");
}

TEST(Language, TheLocaleDecidesInItsOrder) {
  EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, nullptr), Language::kEnglish);
  EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, "zh_CN.UTF-8"), Language::kChinese);
  EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, "en_US.UTF-8"), Language::kEnglish);
  EXPECT_EQ(LanguageOfLocale(nullptr, "en_GB.UTF-8", "zh_CN.UTF-8"), Language::kEnglish);
  EXPECT_EQ(LanguageOfLocale("zh_TW.UTF-8", "en_GB.UTF-8", "en_US.UTF-8"), Language::kChinese);
  EXPECT_EQ(LanguageOfLocale("", "zh_CN", "C"), Language::kChinese);  // empty counts as not set
  EXPECT_EQ(LanguageOfLocale("C", nullptr, "zh_CN.UTF-8"), Language::kEnglish);
  EXPECT_EQ(LanguageNamed("zh"), Language::kChinese);
  EXPECT_EQ(LanguageNamed("en"), Language::kEnglish);
  EXPECT_FALSE(LanguageNamed("de"));
}

TEST(StatusMeaning, EveryTextOfTheProceduresHasItsOwnId) {
  std::set<std::string> ids;
  for (const StatusTextRow &row : StatusTextRows()) {
    EXPECT_TRUE(ids.insert(row.id).second) << "twice: " << row.id;
    EXPECT_TRUE(IsId(row.id)) << row.id;
    // English only: the English rendering has no Chinese in it.
    for (const char *c = row.english; *c != '\0'; ++c) EXPECT_LT(static_cast<unsigned char>(*c), 0x80) << row.id;
    // A text is found as itself (a numbered one with a number in it).
    std::string sent = row.text;
    if (const size_t mark = sent.find("%u"); mark != std::string::npos) sent.replace(mark, 2, "7");
    const Message message = ProcedureMessage(sent);
    EXPECT_EQ(message.id, row.id) << sent;
    EXPECT_EQ(message.zh, sent);  // the exact text stays what it was
    EXPECT_EQ(message.en.find("%u"), std::string::npos) << message.en;
  }
}

TEST(StatusMeaning, MessageBoxesWithACauseKeepIt) {
  const StatusMeaning meaning = MeaningOfStatusText(std::string(text::kBoxImageLoadFailed) + "no such file！");
  EXPECT_EQ(meaning.id, "image_load_failed");
  EXPECT_EQ(meaning.english, "The image file cannot be loaded: no such file");
  EXPECT_EQ(meaning.kind, StatusKind::kFailure);
}

TEST(StatusMeaning, NumberedLinesKeepTheirNumber) {
  StatusMeaning meaning = MeaningOfStatusText("第12包数据发送成功！");
  EXPECT_EQ(meaning.id, "packet_sent");
  EXPECT_EQ(meaning.english, "Packet 12 sent");
  EXPECT_EQ(meaning.number, 12u);
  EXPECT_EQ(meaning.phase, UpgradePhase::kData);
  meaning = MeaningOfStatusText("检测到波特率为19200打印设备!");
  EXPECT_EQ(meaning.id, "baud_found");
  EXPECT_EQ(meaning.number, 19200u);
  EXPECT_EQ(MeaningOfStatusText("测试波特率115200......").english, "Trying 115200 baud...");
  EXPECT_EQ(MeaningOfStatusText("第包数据发送成功！").id, "unknown");
  EXPECT_EQ(MeaningOfStatusText("第x1包数据发送成功！").id, "unknown");
  const StatusMeaning unknown = MeaningOfStatusText("something else");
  EXPECT_EQ(unknown.id, "unknown");
  EXPECT_EQ(unknown.english, "something else");
  EXPECT_EQ(MeaningOfStatusText(text::kVersionMismatch).kind, StatusKind::kFailure);
  EXPECT_EQ(MeaningOfStatusText(text::kUpgradeDone).kind, StatusKind::kCompletion);
  EXPECT_FALSE(MeaningOfStatusText(text::kNoReplyEnd).phase);  // the running step's
}

}  // namespace
}  // namespace velloran::cli
