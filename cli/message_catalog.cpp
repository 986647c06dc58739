// The catalog of velloran-cli's own messages: id, English, Chinese.
// "{name}" marks a value that the caller fills in (messages.h).
#include "messages.h"

namespace velloran::cli {
namespace {

const CatalogRow kRows[] = {
    // Before the upgrade: the image and the expected duration.
    {"image_summary", "Image {path}: {size} bytes, version {version}, {packets} packets of {packet_size} bytes",
     "固件 {path}：{size}字节，版本 {version}，{packets}包，每包{packet_size}字节"},
    {"expected_duration", "Expected duration: {seconds} s", "预计用时{seconds}秒"},
    {"expected_duration_serial", "Expected duration: {low} s to {high} s, by the printer's baud rate",
     "预计用时{low}至{high}秒，取决于打印机的波特率"},
    {"expected_duration_lpt", "Expected duration: {seconds} s and the time the printer takes to accept the data",
     "预计用时{seconds}秒，另加打印机接收数据所需的时间"},

    // The phases, as the bar names them.
    {"phase_prepare", "Preparing", "准备"},
    {"phase_detect", "Detecting the baud rate", "检测波特率"},
    {"phase_boot", "Switching to boot mode", "切换至boot模式"},
    {"phase_version", "Checking the version", "检查版本"},
    {"phase_erase", "Erasing the flash", "擦除闪存"},
    {"phase_data", "Sending the image", "发送固件数据"},
    {"phase_finish", "Finishing", "结束升级"},
    {"time_left", "{seconds} s left", "剩余{seconds}秒"},

    // The closing line.
    {"upgrade_completed", "Upgrade completed: wrote {bytes} bytes in {seconds} s",
     "升级完成：已写入{bytes}字节，用时{seconds}秒"},
    {"lpt_frames_written",
     "Wrote {bytes} bytes in {seconds} s over the parallel port; the parallel link cannot confirm that the "
     "printer accepted them",
     "已通过并口写入{bytes}字节，用时{seconds}秒；并口无法确认打印机是否接收了这些数据"},
    {"upgrade_failed", "Upgrade failed after {seconds} s: {reason}; {sent} of {total} bytes written",
     "升级失败，用时{seconds}秒：{reason}；已写入{sent}/{total}字节"},
    {"upgrade_failed_before_start", "Upgrade failed before the printer was contacted: {reason}",
     "升级失败，未与打印机通信：{reason}"},
    {"upgrade_failed_unreported", "the procedure ended without a completed finish",
     "升级过程未正常结束"},

    // The command line and the ports.
    {"bad_usage", "{detail} (see velloran-cli --help)", "命令行错误：{detail}（参见 velloran-cli --help）"},
    {"bad_port", "{detail}", "端口参数有误：{detail}"},
    {"port_missing", "{port} does not exist (no device node {node}); see velloran-cli ports",
     "{port}不存在（没有设备节点{node}）；请参见 velloran-cli ports"},
    {"port_missing_no_node", "{port} does not exist (it has no device node); see velloran-cli ports",
     "{port}不存在（没有设备节点）；请参见 velloran-cli ports"},
    {"port_without_uart", "{port} does not exist ({node} has no port behind it); see velloran-cli ports",
     "{port}不存在（{node}后面没有串口）；请参见 velloran-cli ports"},
    {"port_busy",
     "{where} cannot be opened: another program holds it, or you may not open it.\n"
     "  If no other program uses it, give yourself the right to open it: its node\n"
     "  belongs to the group '{group}' (check with: ls -l {node}), so run\n"
     "    sudo usermod -aG {group} $USER\n"
     "  and log in again.",
     "无法打开{where}：其他程序正在使用它，或您没有打开它的权限。\n"
     "  若没有其他程序使用它，请获取打开它的权限：其设备节点属于用户组“{group}”\n"
     "  （可用 ls -l {node} 查看），请运行\n"
     "    sudo usermod -aG {group} $USER\n"
     "  并重新登录。"},
    {"port_busy_root",
     "{where} cannot be opened: another program holds it, or you may not open it.\n"
     "  Its node belongs to the group 'root' (check with: ls -l {node}), so only\n"
     "  root may open it: run the tool as root, or have the device manager give such\n"
     "  nodes to the group '{group}' and run\n"
     "    sudo usermod -aG {group} $USER\n"
     "  and log in again.",
     "无法打开{where}：其他程序正在使用它，或您没有打开它的权限。\n"
     "  其设备节点属于用户组“root”（可用 ls -l {node} 查看），只有root可以打开它：\n"
     "  请以root身份运行本工具，或让设备管理器把这类节点交给用户组“{group}”，然后运行\n"
     "    sudo usermod -aG {group} $USER\n"
     "  并重新登录。"},
    {"lpt_missing", "there is no parallel port LPT1{node_note}", "没有并口LPT1{node_note}"},
    {"usb_unavailable",
     "no USB printer could be opened. Either none of a supported maker is attached and switched on, or another "
     "program holds it, or you may not open its node /dev/usb/lpN: such nodes belong to the group 'lp', so "
     "run: sudo usermod -aG lp $USER, and log in again",
     "无法打开USB打印机：没有连接并打开受支持厂商的打印机，或其他程序正在使用它，或您没有打开其设备节点 "
     "/dev/usb/lpN 的权限：这类节点属于用户组“lp”，请运行 sudo usermod -aG lp $USER 并重新登录"},
};

}  // namespace

const CatalogRow *CatalogRows(size_t *count) {
  *count = sizeof kRows / sizeof kRows[0];
  return kRows;
}

}  // namespace velloran::cli
