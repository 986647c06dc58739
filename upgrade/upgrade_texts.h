// The status lines and message-box texts that the upgrade procedures show,
// exactly as users of the tool know them, each with its meaning for front
// ends that show it in another language or hand it to a program: one row
//   X(name, text as sent ("%u" stands for a number, "%s" for a cause), id,
//     English rendering, phase it belongs to (kShared: the running step's), kind)
// gives the constant text::name, the report StatusId::name that a procedure
// sends, and the row of the table that status_meaning.h reads. A text has no
// other place to be written.
#pragma once

// clang-format off
#define VELLORAN_STATUS_TEXTS(X) \
  /* Control steps (USB and serial). */ \
  X(kPreparingBoot, "准备切换至boot模式，请稍等！", "preparing_boot", \
    "Switching the printer to boot mode, please wait", kBoot, kProgress) \
  X(kBootEntered, "模式切换成功！打印机进入Boot模式！", "boot_entered", "The printer is in boot mode", kBoot, kProgress) \
  X(kGettingVersion, "获取版本信息！", "checking_version", \
    "Checking the image's version with the printer", kVersion, kProgress) \
  X(kVersionMatch, "版本匹配！", "version_match", "The printer accepts the image's version", kVersion, kProgress) \
  X(kVersionMismatch, "版本不匹配！退出！", "version_mismatch", \
    "The printer refuses the image's version; stopped", kVersion, kFailure) \
  /* "开始擦除" and 36 ellipsis characters, then a line of 82 of them. */ \
  X(kEraseStart, "开始擦除………………………………………………………………………………………………", "erasing", "Erasing the flash...", kErase, kProgress) \
  X(kEraseDots, \
    "……………………………………………………………………………………………………………" \
    "……………………………………………………………………………………………………………", "erasing_wait", \
    "Still erasing...", kErase, kProgress) \
  X(kEraseDone, "擦除成功！", "erase_done", "The flash is erased", kErase, kProgress) \
  X(kNoReplyEnd, "打印机未响应！终止！", "no_reply", "The printer did not answer; stopped", kShared, kFailure) \
  X(kReplyChecksumExit, "接收CRC错误！退出！", "reply_checksum", \
    "The printer's reply failed its checksum; stopped", kShared, kFailure) \
  X(kCrcErrorExit, "CRC错误！退出！", "printer_crc_error", \
    "The printer reports a checksum error; stopped", kShared, kFailure) \
  X(kFlashErrorExit, "FLASH擦除错误！退出！", "printer_flash_error", \
    "The printer reports a flash erase error; stopped", kShared, kFailure) \
  X(kOtherFaultExit, "其他故障！退出！", "printer_fault", "The printer reports another fault; stopped", kShared, kFailure) \
  X(kExit, "退出！", "stopped", "Stopped", kShared, kFailure) \
  /* Packet phase and finish (USB and serial). */ \
  X(kPacketSentFormat, "第%u包数据发送成功！", "packet_sent", "Packet %u sent", kData, kProgress) \
  X(kFirmwareFault, "固件故障！终止！", "packet_no_reply", \
    "The printer did not answer the data packet; stopped", kShared, kFailure) \
  X(kTransferError, "传输错误！终止！", "transfer_error", \
    "Transfer error: the printer's reply failed its checksum; stopped", kShared, kFailure) \
  X(kPacketCrcFault, "CRC故障！终止！", "packet_crc_error", \
    "The printer reports a checksum error in the packet; stopped", kShared, kFailure) \
  X(kCrcErrorEnd, "CRC错误！终止！", "printer_crc_error_end", \
    "The printer reports a checksum error; stopped", kShared, kFailure) \
  X(kFlashErrorEnd, "FLASH擦除错误！终止！", "printer_flash_error_end", \
    "The printer reports a flash error; stopped", kShared, kFailure) \
  X(kOtherFaultEnd, "其他故障！终止！", "printer_fault_end", "The printer reports another fault; stopped", kShared, kFailure) \
  X(kUpgradeDone, "升级完成！！！", "upgrade_done", "Upgrade complete", kFinish, kCompletion) \
  /* Baud-rate detection (serial). */ \
  X(kTestingBaudFormat, "测试波特率%u......", "testing_baud", "Trying %u baud...", kDetect, kProgress) \
  X(kBaudFoundFormat, "检测到波特率为%u打印设备!", "baud_found", "Found the printer at %u baud", kDetect, kProgress) \
  X(kNoBaudFound, "未检测到波特率适配的打印设备！", "no_baud_found", \
    "No printer answered at any baud rate; stopped", kDetect, kFailure) \
  /* Parallel port. */ \
  X(kLptNoReplyExit, "打印机未响应！退出！", "lpt_not_taken", "The printer did not take the frame; stopped", kShared, kFailure) \
  X(kLptPacketInfo, "获取分组信息！", "lpt_packet_size", "Packets of 512 bytes", kBoot, kProgress) \
  X(kLptCheckingVersion, "检查版本信息！", "lpt_sending_version", "Sending the image's version", kVersion, kProgress) \
  X(kLptVersionChecked, "检查版本信息完成！", "lpt_version_sent", \
    "Version sent (the parallel port cannot hear a refusal)", kVersion, kProgress) \
  X(kLptEraseDone, "擦除成功!", "lpt_erase_sent", "Erase command sent", kErase, kProgress) \
  X(kLptSendFailed, "发送失败！终止！", "lpt_send_failed", "A data packet could not be written; stopped", kData, kFailure) \
  X(kLptUpgradeFailed, "升级失败！！！", "lpt_finish_failed", \
    "The finish frame could not be written; upgrade failed", kFinish, kFailure) \
  /* The image file, when it cannot be loaded (before the printer is touched). */ \
  X(kImageMissing, "固件文件不存在！退出！", "image_missing", "The image file does not exist; stopped", kPrepare, kFailure) \
  X(kImageUnreadable, "固件文件无法打开！退出！", "image_unreadable", \
    "The image file cannot be opened; stopped", kPrepare, kFailure) \
  X(kImageEmpty, "固件文件为空！退出！", "image_empty", "The image file is empty; stopped", kPrepare, kFailure) \
  X(kImageTooShort, "固件文件不足8字节，缺少文件头！退出！", "image_too_short", \
    "The image file is shorter than its 8-byte header; stopped", kPrepare, kFailure) \
  X(kImageShortRead, "固件文件读取不完整！退出！", "image_short_read", \
    "The image file could not be read completely; stopped", kPrepare, kFailure) \
  X(kImageTooLarge, "固件文件过大！退出！", "image_too_large", "The image file is too large; stopped", kPrepare, kFailure) \
  X(kImageNoMemory, "内存不足，无法载入固件文件！退出！", "image_no_memory", \
    "Not enough memory to load the image file; stopped", kPrepare, kFailure) \
  /* A packet size announced by the boot reply that no data frame can carry. */ \
  X(kPacketSizeZero, "分组大小为0，无法发送数据！终止！", "packet_size_zero", \
    "The printer announces packets of 0 bytes; stopped", kBoot, kFailure) \
  X(kPacketSizeTooLarge, "分组大小超过512字节，无法发送数据！终止！", "packet_size_too_large", \
    "The printer announces packets above 512 bytes, which no data frame can carry; stopped", kBoot, kFailure) \
  /* Message boxes. */ \
  X(kBoxOpenUsbFailed, "Open USB Failed！", "usb_open_failed", \
    "The USB printer could not be opened", kShared, kFailure) \
  X(kBoxCloseUsbFailed, "Close USB Failed！", "usb_close_failed", \
    "The USB printer could not be closed", kShared, kFailure) \
  X(kBoxWriteFailed, "Write Failed！", "usb_write_failed", \
    "A frame could not be written to the USB printer", kShared, kFailure) \
  X(kBoxDataOpenUsbFailed, "Open USB failed！", "usb_open_failed_data", \
    "The USB printer could not be opened for the data", kData, kFailure) \
  X(kBoxDataWriteFailed, "write fail！", "usb_data_write_failed", \
    "A data packet could not be written to the USB printer", kData, kFailure) \
  X(kBoxUpgradeComplete, "Upgrade Complete！", "box_upgrade_complete", "Upgrade complete!", kFinish, kCompletion) \
  X(kBoxPortOpenFailed, "Port Open Failed！", "lpt_open_failed", \
    "The parallel port could not be opened", kBoot, kFailure) \
  X(kBoxLptUpgradeComplete, "Upgrade Complete！！", "box_lpt_upgrade_complete", \
    "Upgrade complete!!", kFinish, kCompletion) \
  /* An image that cannot be loaded: the dialog keeps its status log hidden, so \
     the cause ("not a regular file", ...) follows in a box of its own. */ \
  X(kBoxImageLoadFailed, "Image Load Failed: %s！", "image_load_failed", \
    "The image file cannot be loaded: %s", kPrepare, kFailure)
// clang-format on

namespace velloran {

// Which text of the table a procedure reports.
#define VELLORAN_STATUS_ID(name, sent, id, english, phase, kind) name,
enum class StatusId : unsigned char { VELLORAN_STATUS_TEXTS(VELLORAN_STATUS_ID) };
#undef VELLORAN_STATUS_ID

namespace text {
#define VELLORAN_STATUS_TEXT_CONSTANT(name, sent, id, english, phase, kind) inline constexpr char name[] = sent;
VELLORAN_STATUS_TEXTS(VELLORAN_STATUS_TEXT_CONSTANT)
#undef VELLORAN_STATUS_TEXT_CONSTANT
}  // namespace text

}  // namespace velloran
