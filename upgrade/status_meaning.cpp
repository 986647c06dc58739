// The table of the procedures' texts and their meanings.
#include "status_meaning.h"

#include <cctype>

#include "upgrade_texts.h"

namespace velloran {
namespace {

using P = UpgradePhase;
using K = StatusKind;

struct Entry {
  const char *text;  // as sent; "%u" stands for a number
  const char *id;
  const char *english;  // "%u" takes the same number
  std::optional<UpgradePhase> phase;
  StatusKind kind;
};

constexpr auto kShared = std::nullopt;

// Texts that two links share appear once; where the parallel port's text
// says what it did in other words, it has its own entry.
const Entry kEntries[] = {
    {text::kPreparingBoot, "preparing_boot", "Switching the printer to boot mode, please wait", P::kBoot,
     K::kProgress},
    {text::kBootEntered, "boot_entered", "The printer is in boot mode", P::kBoot, K::kProgress},
    {text::kGettingVersion, "checking_version", "Checking the image's version with the printer", P::kVersion,
     K::kProgress},
    {text::kVersionMatch, "version_match", "The printer accepts the image's version", P::kVersion, K::kProgress},
    {text::kVersionMismatch, "version_mismatch", "The printer refuses the image's version; stopped",
     P::kVersion, K::kFailure},
    {text::kEraseStart, "erasing", "Erasing the flash...", P::kErase, K::kProgress},
    {text::kEraseDots, "erasing_wait", "Still erasing...", P::kErase, K::kProgress},
    {text::kEraseDone, "erase_done", "The flash is erased", P::kErase, K::kProgress},
    {text::kNoReplyEnd, "no_reply", "The printer did not answer; stopped", kShared, K::kFailure},
    {text::kReplyChecksumExit, "reply_checksum", "The printer's reply failed its checksum; stopped", kShared,
     K::kFailure},
    {text::kCrcErrorExit, "printer_crc_error", "The printer reports a checksum error; stopped", kShared,
     K::kFailure},
    {text::kFlashErrorExit, "printer_flash_error", "The printer reports a flash erase error; stopped", kShared,
     K::kFailure},
    {text::kOtherFaultExit, "printer_fault", "The printer reports another fault; stopped", kShared,
     K::kFailure},
    {text::kExit, "stopped", "Stopped", kShared, K::kFailure},
    {text::kPacketSentFormat, "packet_sent", "Packet %u sent", P::kData, K::kProgress},
    {text::kFirmwareFault, "packet_no_reply", "The printer did not answer the data packet; stopped", kShared,
     K::kFailure},
    {text::kTransferError, "transfer_error", "Transfer error: the printer's reply failed its checksum; stopped",
     kShared, K::kFailure},
    {text::kPacketCrcFault, "packet_crc_error", "The printer reports a checksum error in the packet; stopped",
     kShared, K::kFailure},
    {text::kCrcErrorEnd, "printer_crc_error_end", "The printer reports a checksum error; stopped", kShared,
     K::kFailure},
    {text::kFlashErrorEnd, "printer_flash_error_end", "The printer reports a flash error; stopped", kShared,
     K::kFailure},
    {text::kOtherFaultEnd, "printer_fault_end", "The printer reports another fault; stopped", kShared,
     K::kFailure},
    {text::kUpgradeDone, "upgrade_done", "Upgrade complete", P::kFinish, K::kCompletion},
    {text::kTestingBaudFormat, "testing_baud", "Trying %u baud...", P::kDetect, K::kProgress},
    {text::kBaudFoundFormat, "baud_found", "Found the printer at %u baud", P::kDetect, K::kProgress},
    {text::kNoBaudFound, "no_baud_found", "No printer answered at any baud rate; stopped", P::kDetect,
     K::kFailure},
    {text::kLptNoReplyExit, "lpt_not_taken", "The printer did not take the frame; stopped", kShared,
     K::kFailure},
    {text::kLptPacketInfo, "lpt_packet_size", "Packets of 512 bytes", P::kBoot, K::kProgress},
    {text::kLptCheckingVersion, "lpt_sending_version", "Sending the image's version", P::kVersion, K::kProgress},
    {text::kLptVersionChecked, "lpt_version_sent", "Version sent (the parallel port cannot hear a refusal)",
     P::kVersion, K::kProgress},
    {text::kLptEraseDone, "lpt_erase_sent", "Erase command sent", P::kErase, K::kProgress},
    {text::kLptSendFailed, "lpt_send_failed", "A data packet could not be written; stopped", P::kData,
     K::kFailure},
    {text::kLptUpgradeFailed, "lpt_finish_failed", "The finish frame could not be written; upgrade failed",
     P::kFinish, K::kFailure},
    {text::kImageMissing, "image_missing", "The image file does not exist; stopped", P::kPrepare, K::kFailure},
    {text::kImageUnreadable, "image_unreadable", "The image file cannot be opened; stopped", P::kPrepare,
     K::kFailure},
    {text::kImageEmpty, "image_empty", "The image file is empty; stopped", P::kPrepare, K::kFailure},
    {text::kImageTooShort, "image_too_short", "The image file is shorter than its 8-byte header; stopped",
     P::kPrepare, K::kFailure},
    {text::kImageShortRead, "image_short_read", "The image file could not be read completely; stopped",
     P::kPrepare, K::kFailure},
    {text::kImageTooLarge, "image_too_large", "The image file is too large; stopped", P::kPrepare, K::kFailure},
    {text::kImageNoMemory, "image_no_memory", "Not enough memory to load the image file; stopped", P::kPrepare,
     K::kFailure},
    {text::kPacketSizeZero, "packet_size_zero", "The printer announces packets of 0 bytes; stopped", P::kBoot,
     K::kFailure},
    {text::kPacketSizeTooLarge, "packet_size_too_large",
     "The printer announces packets above 512 bytes, which no data frame can carry; stopped", P::kBoot,
     K::kFailure},
    {text::kBoxOpenUsbFailed, "usb_open_failed", "The USB printer could not be opened", kShared, K::kFailure},
    {text::kBoxCloseUsbFailed, "usb_close_failed", "The USB printer could not be closed", kShared, K::kFailure},
    {text::kBoxWriteFailed, "usb_write_failed", "A frame could not be written to the USB printer", kShared,
     K::kFailure},
    {text::kBoxDataOpenUsbFailed, "usb_open_failed_data", "The USB printer could not be opened for the data",
     P::kData, K::kFailure},
    {text::kBoxDataWriteFailed, "usb_data_write_failed", "A data packet could not be written to the USB printer",
     P::kData, K::kFailure},
    {text::kBoxUpgradeComplete, "box_upgrade_complete", "Upgrade complete!", P::kFinish, K::kCompletion},
    {text::kBoxPortOpenFailed, "lpt_open_failed", "The parallel port could not be opened", P::kBoot,
     K::kFailure},
    {text::kBoxLptUpgradeComplete, "box_lpt_upgrade_complete", "Upgrade complete!!", P::kFinish,
     K::kCompletion},
};

// A message box whose text goes on with the cause (and "！").
struct PrefixEntry {
  const char *prefix;
  const char *id;
  const char *english;  // the cause follows
  std::optional<UpgradePhase> phase;
};
const PrefixEntry kPrefixEntries[] = {
    {text::kBoxImageLoadFailed, "image_load_failed", "The image file cannot be loaded: ", P::kPrepare},
};
constexpr char kFullWidthExclamation[] = "！";

// The number that "%u" in format stands for in text, if text has that form.
std::optional<uint32_t> MatchNumbered(std::string_view format, std::string_view text) {
  const size_t mark = format.find("%u");
  if (mark == std::string_view::npos) return std::nullopt;
  const std::string_view prefix = format.substr(0, mark);
  const std::string_view suffix = format.substr(mark + 2);
  if (text.size() <= prefix.size() + suffix.size() || text.substr(0, prefix.size()) != prefix ||
      text.substr(text.size() - suffix.size()) != suffix) {
    return std::nullopt;
  }
  const std::string_view digits = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  if (digits.size() > 9) return std::nullopt;
  uint32_t number = 0;
  for (const char c : digits) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  return number;
}

std::string FillNumber(std::string_view english, uint32_t number) {
  std::string filled(english);
  const size_t mark = filled.find("%u");
  if (mark != std::string::npos) filled.replace(mark, 2, std::to_string(number));
  return filled;
}

}  // namespace

const char *PhaseName(UpgradePhase phase) {
  switch (phase) {
    case UpgradePhase::kPrepare: return "prepare";
    case UpgradePhase::kDetect: return "detect";
    case UpgradePhase::kBoot: return "boot";
    case UpgradePhase::kVersion: return "version";
    case UpgradePhase::kErase: return "erase";
    case UpgradePhase::kData: return "data";
    case UpgradePhase::kFinish: return "finish";
  }
  return "?";
}

StatusMeaning MeaningOfStatusText(std::string_view text) {
  for (const Entry &entry : kEntries) {
    if (text == entry.text) return {entry.id, entry.english, entry.phase, entry.kind, std::nullopt};
    if (const auto number = MatchNumbered(entry.text, text)) {
      return {entry.id, FillNumber(entry.english, *number), entry.phase, entry.kind, number};
    }
  }
  for (const PrefixEntry &entry : kPrefixEntries) {
    const std::string_view prefix = entry.prefix;
    if (text.size() <= prefix.size() || text.substr(0, prefix.size()) != prefix) continue;
    std::string_view cause = text.substr(prefix.size());
    const std::string_view mark = kFullWidthExclamation;
    if (cause.size() >= mark.size() && cause.substr(cause.size() - mark.size()) == mark) {
      cause.remove_suffix(mark.size());
    }
    return {entry.id, entry.english + std::string(cause), entry.phase, StatusKind::kFailure, std::nullopt};
  }
  return {"unknown", std::string(text), std::nullopt, StatusKind::kProgress, std::nullopt};
}

}  // namespace velloran
