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
  size_t index = 0;
  for (const StatusTextRow &row : StatusTextRows()) {
    EXPECT_EQ(static_cast<size_t>(row.status), index++) << row.id;  // a report finds its own row
    EXPECT_TRUE(ids.insert(row.id).second) << "twice: " << row.id;
    EXPECT_TRUE(IsId(row.id)) << row.id;
    EXPECT_EQ(StatusRowWithId(row.id), &row);
    // English only: the English rendering has no Chinese in it.
    for (const char *c = row.english; *c != '\0'; ++c) EXPECT_LT(static_cast<unsigned char>(*c), 0x80) << row.id;
    const Message message = ProcedureMessage({row.status, 7, "cause"});
    EXPECT_EQ(message.id, row.id);
    EXPECT_EQ(message.en.find('%'), std::string::npos) << message.en;
    EXPECT_EQ(message.zh.find('%'), std::string::npos) << message.zh;
  }
  EXPECT_EQ(StatusRowWithId("unknown"), nullptr);
}

TEST(StatusMeaning, ReportsFillInTheirNumberAndCause) {
  StatusMeaning meaning = MeaningOf({StatusId::kPacketSentFormat, 12});
  EXPECT_EQ(StatusText({StatusId::kPacketSentFormat, 12}), "第12包数据发送成功！");
  EXPECT_EQ(meaning.id, "packet_sent");
  EXPECT_EQ(meaning.english, "Packet 12 sent");
  EXPECT_EQ(meaning.number, 12u);
  EXPECT_EQ(meaning.phase, UpgradePhase::kData);
  EXPECT_EQ(StatusText({StatusId::kBaudFoundFormat, 19200}), "检测到波特率为19200打印设备!");
  EXPECT_EQ(MeaningOf({StatusId::kTestingBaudFormat, 115200}).english, "Trying 115200 baud...");
  const StatusReport box{StatusId::kBoxImageLoadFailed, std::nullopt, "no such file"};
  EXPECT_EQ(StatusText(box), "Image Load Failed: no such file！");
  EXPECT_EQ(MeaningOf(box).english, "The image file cannot be loaded: no such file");
  EXPECT_EQ(MeaningOf(box).kind, StatusKind::kFailure);
  EXPECT_EQ(StatusText(StatusId::kVersionMismatch), text::kVersionMismatch);
  EXPECT_EQ(MeaningOf(StatusId::kUpgradeDone).kind, StatusKind::kCompletion);
  EXPECT_FALSE(MeaningOf(StatusId::kNoReplyEnd).phase);  // the running step's
}

}  // namespace
}  // namespace velloran::cli
