// The status lines and message-box texts that the upgrade procedures show,
// exactly as users of the tool know them.
#pragma once

namespace velloran::text {

// Control steps (USB and serial).
inline constexpr char kPreparingBoot[] = "准备切换至boot模式，请稍等！";
inline constexpr char kBootEntered[] = "模式切换成功！打印机进入Boot模式！";
inline constexpr char kGettingVersion[] = "获取版本信息！";
inline constexpr char kVersionMatch[] = "版本匹配！";
inline constexpr char kVersionMismatch[] = "版本不匹配！退出！";
// "开始擦除" and 36 ellipsis characters, then a line of 82 of them.
inline constexpr char kEraseStart[] =
    "开始擦除………………………………………………………………………………………………";
inline constexpr char kEraseDots[] =
    "……………………………………………………………………………………………………………"
    "……………………………………………………………………………………………………………";
inline constexpr char kEraseDone[] = "擦除成功！";
inline constexpr char kNoReplyEnd[] = "打印机未响应！终止！";
inline constexpr char kReplyChecksumExit[] = "接收CRC错误！退出！";
inline constexpr char kCrcErrorExit[] = "CRC错误！退出！";
inline constexpr char kFlashErrorExit[] = "FLASH擦除错误！退出！";
inline constexpr char kOtherFaultExit[] = "其他故障！退出！";
inline constexpr char kExit[] = "退出！";

// Packet phase and finish (USB and serial).
inline constexpr char kPacketSentFormat[] = "第%u包数据发送成功！";
inline constexpr char kFirmwareFault[] = "固件故障！终止！";
inline constexpr char kTransferError[] = "传输错误！终止！";
inline constexpr char kPacketCrcFault[] = "CRC故障！终止！";
inline constexpr char kCrcErrorEnd[] = "CRC错误！终止！";
inline constexpr char kFlashErrorEnd[] = "FLASH擦除错误！终止！";
inline constexpr char kOtherFaultEnd[] = "其他故障！终止！";
inline constexpr char kUpgradeDone[] = "升级完成！！！";

// Baud-rate detection (serial).
inline constexpr char kTestingBaudFormat[] = "测试波特率%u......";
inline constexpr char kBaudFoundFormat[] = "检测到波特率为%u打印设备!";
inline constexpr char kNoBaudFound[] = "未检测到波特率适配的打印设备！";

// Parallel port.
inline constexpr char kLptNoReplyExit[] = "打印机未响应！退出！";
inline constexpr char kLptPacketInfo[] = "获取分组信息！";
inline constexpr char kLptCheckingVersion[] = "检查版本信息！";
inline constexpr char kLptVersionChecked[] = "检查版本信息完成！";
inline constexpr char kLptEraseDone[] = "擦除成功!";
inline constexpr char kLptSendFailed[] = "发送失败！终止！";
inline constexpr char kLptUpgradeFailed[] = "升级失败！！！";

// The image file, when it cannot be loaded (before the printer is touched).
inline constexpr char kImageMissing[] = "固件文件不存在！退出！";
inline constexpr char kImageUnreadable[] = "固件文件无法打开！退出！";
inline constexpr char kImageEmpty[] = "固件文件为空！退出！";
inline constexpr char kImageTooShort[] = "固件文件不足8字节，缺少文件头！退出！";
inline constexpr char kImageShortRead[] = "固件文件读取不完整！退出！";
inline constexpr char kImageTooLarge[] = "固件文件过大！退出！";
inline constexpr char kImageNoMemory[] = "内存不足，无法载入固件文件！退出！";

// A packet size announced by the boot reply that no data frame can carry.
inline constexpr char kPacketSizeZero[] = "分组大小为0，无法发送数据！终止！";
inline constexpr char kPacketSizeTooLarge[] = "分组大小超过512字节，无法发送数据！终止！";

// Message boxes.
inline constexpr char kBoxOpenUsbFailed[] = "Open USB Failed！";
inline constexpr char kBoxCloseUsbFailed[] = "Close USB Failed！";
inline constexpr char kBoxWriteFailed[] = "Write Failed！";
inline constexpr char kBoxDataOpenUsbFailed[] = "Open USB failed！";
inline constexpr char kBoxDataWriteFailed[] = "write fail！";
inline constexpr char kBoxUpgradeComplete[] = "Upgrade Complete！";
inline constexpr char kBoxPortOpenFailed[] = "Port Open Failed！";
inline constexpr char kBoxLptUpgradeComplete[] = "Upgrade Complete！！";
// An image that cannot be loaded: the dialog keeps its status log hidden, so
// the cause ("not a regular file", ...) follows in a box of its own.
inline constexpr char kBoxImageLoadFailed[] = "Image Load Failed: ";

}  // namespace velloran::text
