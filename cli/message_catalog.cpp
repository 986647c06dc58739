// The catalog of velloran-cli's own messages: id, English, Chinese.
// "{name}" marks a value that the caller fills in (messages.h).
#include "messages.h"

namespace velloran::cli {
namespace {

const CatalogRow kRows[] = {
    // Before the upgrade: the image and the expected duration.
    {"image_summary", "Image {path}: {size} bytes, version {version}, {packets} packets of {packet_size} bytes",
     "固件 {path}：{size}字节，版本 {version}，{packets}包，每包{packet_size}字节"},
    {"image_sha256", "SHA-256 of the image: {sha256}", "固件的SHA-256：{sha256}"},
    {"expected_duration", "Expected duration: {duration}", "预计用时{duration}"},
    {"expected_duration_serial", "Expected duration: {low} to {high}, by the printer's baud rate",
     "预计用时{low}至{high}，取决于打印机的波特率"},
    {"expected_duration_lpt", "Expected duration: {duration} and the time the printer takes to accept the data",
     "预计用时{duration}，另加打印机接收数据所需的时间"},

    // The phases, as the bar names them.
    {"phase_prepare", "Preparing", "准备"},
    {"phase_detect", "Detecting the baud rate", "检测波特率"},
    {"phase_boot", "Switching to boot mode", "切换至boot模式"},
    {"phase_version", "Checking the version", "检查版本"},
    {"phase_erase", "Erasing the flash", "擦除闪存"},
    {"phase_data", "Sending the image", "发送固件数据"},
    {"phase_data_packets", "Sending the image: {packets} packets of {packet_size} bytes",
     "发送固件数据：{packets}包，每包{packet_size}字节"},
    {"phase_finish", "Finishing", "结束升级"},
    {"time_left", "{duration} left", "剩余{duration}"},
    {"duration_seconds", "{seconds} s", "{seconds}秒"},
    {"duration_minutes", "{minutes} min {seconds} s", "{minutes}分{seconds}秒"},
    {"duration_hours", "{hours} h {minutes} min", "{hours}小时{minutes}分"},

    // velloran-cli info.
    {"info_image", "image:    {path}", "固件：{path}"},
    {"info_size", "size:     {size} bytes (8-byte header, {data} bytes of data)",
     "大小：{size}字节（8字节文件头，{data}字节数据）"},
    {"info_version", "version:  {version}", "版本：{version}"},
    {"info_sha256", "sha256:   {sha256}", "SHA-256：{sha256}"},
    {"info_packets", "packets:  {packets} of {packet_size} bytes", "分包：{packets}包，每包{packet_size}字节"},
    {"info_packets_short",
     "packets:  {packets} of {packet_size} bytes ({full} full; the last one {data} bytes of data and {fill} of zero "
     "fill)",
     "分包：{packets}包，每包{packet_size}字节（{full}包满包；最后一包{data}字节数据，另补{fill}字节零）"},
    {"info_times", "upgrade time, by the pauses the procedures prescribe (the printer's answers add to it):",
     "升级用时（按升级过程规定的等待时间计算，打印机的应答时间另计）："},
    {"info_usb", "  usb:     {duration}", "  USB：{duration}"},
    {"info_serial", "  serial:  {duration} with the printer at {baud} baud", "  串口：{duration}，打印机波特率为{baud}"},
    {"info_lpt", "  lpt:     {duration} and the time the printer takes to accept the data",
     "  并口：{duration}，另加打印机接收数据所需的时间"},
    {"image_unloadable", "{path}: {cause} ({reason})", "{path}：{reason}（{cause}）"},

    // The closing line.
    {"upgrade_completed", "Upgrade completed: wrote {bytes} bytes in {seconds} s",
     "升级完成：已写入{bytes}字节，用时{seconds}秒"},
    {"lpt_frames_written",
     "Wrote {bytes} bytes in {seconds} s over the parallel port; the parallel link cannot confirm that the "
     "printer accepted them",
     "已通过并口写入{bytes}字节，用时{seconds}秒；并口无法确认打印机是否接收了这些数据"},
    {"upgrade_failed", "Upgrade failed after {seconds} s: {reason}; {sent} of {total} bytes written",
     "升级失败，用时{seconds}秒：{reason}；已写入{sent}/{total}字节"},
    // After a failure: the printer's state and the next step.
    {"failed_nothing_changed",
     "No frame changed anything on the printer on {port}: check that it is switched on and connected there, then "
     "run the upgrade again.",
     "{port}上的打印机没有任何改变：请检查打印机已打开并连接在该端口上，然后重新运行升级。"},
    {"failed_in_boot_mode",
     "The printer on {port} may be in boot mode with its firmware unchanged: switch it off and on, then run the "
     "upgrade again.",
     "{port}上的打印机可能处于Boot模式，固件没有改变：请断电重启，然后重新运行升级。"},
    {"failed_flash_written",
     "The flash of the printer on {port} is erased or partly written (the printer took packet {packet}): keep it "
     "powered and run the upgrade again.",
     "{port}上打印机的闪存已被擦除或只写入了一部分（打印机已接收第{packet}包）：请保持打印机通电，并重新运行升级。"},
    {"upgrade_failed_before_start", "Upgrade failed before the printer was contacted: {reason}",
     "升级失败，未与打印机通信：{reason}"},
    {"upgrade_failed_unreported", "the procedure ended without a completed finish",
     "升级过程未正常结束"},

    // The command line's help; CLI11's labels included.
    {"help_program",
     "Replaces a printer's firmware through its boot loader, over USB, a serial port or the parallel port.",
     "通过打印机的Boot引导程序更换其固件，经由USB、串口或并口。"},
    {"help_help", "Print this help message and exit", "显示本帮助并退出"},
    {"help_version", "Show the version and exit", "显示版本并退出"},
    {"help_quiet", "Print only errors and the closing line", "只显示错误和最后一行结果"},
    {"help_verbose", "Print every status line with its time and progress value", "显示每一条状态信息及其时间和进度值"},
    {"help_lang", "Language of the messages: zh or en (default: by LC_ALL, LC_MESSAGES, LANG)",
     "信息的语言：zh或en（默认：按LC_ALL、LC_MESSAGES、LANG决定）"},
    {"help_upgrade", "Upgrade the printer's firmware with IMAGE (a .upd file)", "用IMAGE（.upd文件）升级打印机的固件"},
    {"help_link", "The link to the printer", "与打印机的连接方式"},
    {"help_port",
     "The printer. Serial: COMn or n (1 to {largest}, no leading zeros), or any serial device node such as "
     "/dev/ttyAMA0 or /dev/serial/by-id/... (default: the first free COM port). USB: the id, serial number or port "
     "path (1-2.3) that `ports` shows, or the node /dev/usb/lpN (default: the first printer of a supported maker). "
     "Parallel: LPT1 to LPT3 or the node /dev/lpN (default: LPT1). Given several times: those printers, upgraded at "
     "once",
     "打印机。串口：COMn或n（1至{largest}，不带前导零），或任何串口设备节点，例如 /dev/ttyAMA0 或 "
     "/dev/serial/by-id/...（默认：第一个空闲的COM端口）。USB：`ports` 所列的标识、序列号或端口路径（1-2.3），"
     "或设备节点 /dev/usb/lpN（默认：第一台受支持厂商的打印机）。并口：LPT1至LPT3，或设备节点 /dev/lpN"
     "（默认：LPT1）。多次给出：同时升级这些打印机"},
    {"help_all", "USB link only: upgrade every attached printer of a supported maker",
     "仅用于USB连接：升级所有已连接的受支持厂商的打印机"},
    {"help_jobs", "With several printers: upgrade at most N at once (default: all)",
     "多台打印机时：最多同时升级N台（默认：全部）"},
    {"help_record", "Append one JSON line per printer to FILE: times, image, SHA-256, result",
     "每台打印机向FILE追加一行JSON：时间、固件、SHA-256、结果"},
    {"help_baud",
     "Serial link only: try this rate first in both baud-rate detections ({rates}); the whole list follows when the "
     "printer does not answer at it",
     "仅用于串口连接：两次波特率检测都先尝试该速率（{rates}）；打印机在该速率下不应答时再尝试整个列表"},
    {"help_check",
     "Check everything up to the first frame and send nothing: the image, the ports, the expected duration; exit 0 "
     "when every printer is ready",
     "检查发送第一帧之前的一切，不发送任何数据：固件、端口、预计用时；所有打印机都就绪时退出状态为0"},
    {"help_json_lines", "One JSON object per line instead of text (docs/cli-json.md)",
     "以每行一个JSON对象代替文本输出（见 docs/cli-json.md）"},
    {"help_json_object", "One JSON object instead of text", "以一个JSON对象代替文本输出"},
    {"help_image", "The firmware image file", "固件文件"},
    {"help_ports", "List the serial ports, parallel ports and USB printers present, free or busy, with their nodes",
     "列出现有的串口、并口和USB打印机（空闲或占用）及其设备节点"},
    {"help_info", "Show the image's size, version bytes, packet count and how long an upgrade takes on each link",
     "显示固件的大小、版本字节、包数，以及在每种连接上升级所需的时间"},
    {"help_exit_status",
     "Exit status: 0 the upgrade completed (on the parallel port: every frame was written; with several printers: "
     "every one completed; with --check: every printer is ready), 1 it failed or a port cannot be used, 2 bad usage. "
     "Ctrl-C, SIGTERM or SIGHUP during an upgrade (or a closed output) stop it at the next frame boundary, close the "
     "port and say what state the printer is in; the status is then 130, 143 or 129 (141 for a closed output). A "
     "second Ctrl-C ends the tool at once.",
     "退出状态：0 升级完成（并口：所有帧都已写入；多台打印机：每一台都已完成；使用 --check：每台打印机都已就绪），"
     "1 升级失败或端口无法使用，2 命令行错误。升级期间的Ctrl-C、SIGTERM或SIGHUP（或输出被关闭）使升级在下一帧的"
     "边界处停止，关闭端口并说明打印机所处的状态；此时退出状态为130、143或129（输出被关闭时为141）。"
     "再按一次Ctrl-C立即结束本工具。"},
    {"help_exit_status_short", "Exit status: 0 success, 1 failure, 2 bad usage.",
     "退出状态：0 成功，1 失败，2 命令行错误。"},
    {"help_label_usage", "Usage", "用法"},
    {"help_label_options", "OPTIONS", "选项"},
    {"help_label_command", "SUBCOMMAND", "命令"},
    {"help_label_required", "REQUIRED", "必需"},
    {"help_label_excludes", "Excludes", "不可同用"},
    {"help_group_options", "Options", "选项"},
    {"help_group_positionals", "Positionals", "参数"},
    {"help_group_commands", "Subcommands", "命令"},
    {"help_type_text", "TEXT", "文本"},
    {"help_type_number", "UINT", "整数"},
    {"help_range", "UINT in [{low} - {high}]", "{low}至{high}"},

    // The command line and the ports.
    {"bad_usage", "{detail} (see velloran-cli --help)", "命令行错误：{detail}（参见 velloran-cli --help）"},
    {"usage_no_command", "a command is required (the commands: upgrade, ports, info)",
     "缺少命令（可用的命令：upgrade、ports、info）"},
    {"usage_unknown_command", "unknown command '{command}' (the commands: upgrade, ports, info)",
     "未知命令“{command}”（可用的命令：upgrade、ports、info）"},
    {"usage_unknown_option_no_command", "unknown option '{option}' (the commands: upgrade, ports, info)",
     "未知选项“{option}”（可用的命令：upgrade、ports、info）"},
    {"usage_unknown_option", "unknown option '{option}'", "未知选项“{option}”"},
    {"usage_unexpected_argument", "the argument '{argument}' was not expected", "多余的参数“{argument}”"},
    {"usage_missing", "{option} is required", "缺少{option}"},
    {"usage_needs_value", "{option} needs a value", "{option}需要一个值"},
    {"usage_given_more_than_once", "{option} is given more than once", "{option}只能给出一次"},
    {"usage_not_one_of", "{option}: {value} not in {allowed}", "{option}的值“{value}”无效，可选：{allowed}"},
    {"usage_out_of_range", "{option}: {value} not in range {low} to {high}",
     "{option}的值“{value}”无效，应为{low}至{high}的整数"},
    {"usage_not_convertible", "{option}: {value} cannot be used", "{option}的值“{value}”无法使用"},
    {"usage_flag_value", "{option} takes no value", "{option}不带值"},
    {"usage_excludes", "{option} excludes {other}", "{option}不能与{other}同时使用"},
    {"usage_other", "the command line is not understood: {detail}", "无法理解的命令行：{detail}"},
    {"usage_port_empty", "--port needs a value: a port name, an id or a device node",
     "--port需要一个值：端口名、标识或设备节点"},
    {"usage_port_twice", "--port {port} is given twice", "--port {port}给出了两次"},
    {"usage_all_not_usb",
     "--all is for the USB link only: probing unknown serial or parallel devices with boot frames is unsafe; name "
     "the ports with --port",
     "--all只适用于USB连接：用boot帧探测未知的串口或并口设备并不安全；请用 --port 指定端口"},
    {"usage_baud_not_serial", "--baud is for the serial link only", "--baud只适用于串口连接"},
    {"bad_port", "{detail}", "端口参数有误：{detail}"},
    {"port_missing", "{port} does not exist (no device node {node}); see velloran-cli ports",
     "{port}不存在（没有设备节点{node}）；请参见 velloran-cli ports"},
    {"port_missing_no_node", "{port} does not exist (it has no device node); see velloran-cli ports",
     "{port}不存在（没有设备节点）；请参见 velloran-cli ports"},
    {"port_without_uart", "{port} does not exist ({node} has no port behind it); see velloran-cli ports",
     "{port}不存在（{node}后面没有串口）；请参见 velloran-cli ports"},
    {"port_node_missing", "{port} does not exist; see velloran-cli ports", "{port}不存在；请参见 velloran-cli ports"},
    {"port_node_without_port", "{port} does not exist (no port behind it); see velloran-cli ports",
     "{port}不存在（其后没有端口）；请参见 velloran-cli ports"},
    {"port_not_device", "{where} is not a device: a plain file or a folder", "{where}不是设备：它是普通文件或文件夹"},
    {"port_not_serial", "{where} is not a serial port (not a terminal device)", "{where}不是串口（不是终端设备）"},
    {"port_not_printer", "{where} is not a printer port (no parallel port, no USB printer, no terminal device)",
     "{where}不是打印机端口（既不是并口、USB打印机，也不是终端设备）"},
    {"port_failed", "{where} cannot be opened: {error}", "无法打开{where}：{error}"},
    {"port_held", "{where} cannot be opened: it is held by {holders}; end that program or let it close the port",
     "无法打开{where}：{holders}正在使用它；请结束该程序或让它关闭端口"},
    {"port_held_unseen",
     "{where} cannot be opened: another program holds it (none that this user may see; `sudo fuser -v {node}` "
     "names it)",
     "无法打开{where}：另一个程序正在使用它（当前用户看不到是哪一个；`sudo fuser -v {node}` 可以列出）"},
    {"holder", "{program} (process {pid})", "{program}（进程{pid}）"},
    {"port_not_permitted",
     "{where} cannot be opened: you may not open it: it belongs to the group '{group}' (see `ls -l {node}`), "
     "which you are not in; run\n    sudo usermod -aG {group} $USER\n  and log in again",
     "无法打开{where}：您没有打开它的权限：它属于用户组“{group}”（可用 ls -l {node} 查看），而您不在该组中；请运行\n"
     "    sudo usermod -aG {group} $USER\n  并重新登录"},
    {"port_not_permitted_relogin",
     "{where} cannot be opened yet: you are a member of its group '{group}', but this login started before you "
     "were added; log in again (or run `newgrp {group}`)",
     "暂时无法打开{where}：您已是其用户组“{group}”的成员，但本次登录早于加入该组；请重新登录（或运行 newgrp {group}）"},
    {"port_owner_only",
     "{where} cannot be opened: you may not open it: it belongs to the group '{group}' (see `ls -l {node}`), and "
     "only its owner may open it: a udev rule must give you access",
     "无法打开{where}：您没有打开它的权限：它属于用户组“{group}”（可用 ls -l {node} 查看），只有其所有者可以打开它："
     "需要一条udev规则为您授予访问权限"},
    {"port_denied_to_root", "{where} cannot be opened: even root may not open it; check `ls -l {node}`",
     "无法打开{where}：即使root也不能打开它；请检查 ls -l {node}"},
    {"usb_not_permitted",
     "{where} cannot be opened: you may not open it: it belongs to the group '{group}' (see `ls -l {node}`). The "
     "Velloran package's udev rule gives the user at the seat access to the USB printers of the supported makers: "
     "install the package and plug the printer in again",
     "无法打开{where}：您没有打开它的权限：它属于用户组“{group}”（可用 ls -l {node} 查看）。Velloran软件包的udev"
     "规则允许当前座席的用户访问受支持厂商的USB打印机：请安装该软件包，然后重新插上打印机"},
    {"usb_not_permitted_or_join",
     "{where} cannot be opened: you may not open it: it belongs to the group '{group}' (see `ls -l {node}`). The "
     "Velloran package's udev rule gives the user at the seat access to the USB printers of the supported makers: "
     "install the package and plug the printer in again, or join the group: sudo usermod -aG {group} $USER, then "
     "log in again",
     "无法打开{where}：您没有打开它的权限：它属于用户组“{group}”（可用 ls -l {node} 查看）。Velloran软件包的udev"
     "规则允许当前座席的用户访问受支持厂商的USB打印机：请安装该软件包，然后重新插上打印机；或者加入该用户组："
     "sudo usermod -aG {group} $USER，然后重新登录"},
    {"usb_none_attached", "no USB printer is attached (or switched on); see velloran-cli ports",
     "没有连接（或未打开）USB打印机；请参见 velloran-cli ports"},
    {"usb_none_supported", "no attached USB printer is of a supported maker; see velloran-cli ports",
     "已连接的USB打印机都不是受支持厂商的产品；请参见 velloran-cli ports"},
    {"usb_port_unknown", "no attached USB printer is '{port}': give an id, serial number, port path or node that "
     "velloran-cli ports shows",
     "没有已连接的USB打印机是“{port}”：请给出 velloran-cli ports 所列的标识、序列号、端口路径或设备节点"},
    {"usb_port_ambiguous", "'{port}' names more than one USB printer: {first} and {second}; give its port path instead",
     "“{port}”对应不止一台USB打印机：{first}和{second}；请改用端口路径"},
    {"usb_port_unsupported", "{port} is not of a supported maker; see velloran-cli ports",
     "{port}不是受支持厂商的产品；请参见 velloran-cli ports"},
    {"usb_others_attached", "Using {chosen}; also attached: {others} (choose one with --port)",
     "使用{chosen}；另外还连接了：{others}（可用 --port 选择）"},
    {"bad_lpt_port", "bad parallel port '{port}': give LPT1, LPT2, LPT3 or a device node such as /dev/lp0",
     "并口“{port}”有误：请给出LPT1、LPT2、LPT3，或设备节点，例如 /dev/lp0"},
    {"lpt_port_unmappable", "{node} is not the node of LPT1, LPT2 or LPT3", "{node}不是LPT1、LPT2或LPT3的设备节点"},
    {"no_free_port", "no free COM port found (see velloran-cli ports); give the printer's port with --port",
     "未找到空闲的COM端口（参见 velloran-cli ports）；请用 --port 指定打印机的端口"},
    {"bad_port_syntax",
     "bad port '{port}': give COMn or n (1 to {largest}, without leading zeros) or a device node such as /dev/ttyUSB0",
     "端口“{port}”有误：请给出COMn或n（1至{largest}，不带前导零），或设备节点，例如 /dev/ttyUSB0"},
    {"several_serial_ports", "several serial ports are present ({ports}); name the printer's one with --port",
     "存在多个串口（{ports}）；请用 --port 指定打印机所在的串口"},
    {"usb_list_failed", "the system's list of USB printers cannot be read (error {error}: {cause})",
     "无法读取系统的USB打印机列表（错误{error}：{cause}）"},
    {"ports_no_com", "No COM port present.", "没有COM端口。"},
    {"port_state_free", "free", "空闲"},
    {"port_state_held", "held by {holders}", "被{holders}占用"},
    {"port_state_held_unseen", "held by another program", "被另一个程序占用"},
    {"port_state_not_permitted", "not permitted to you (group {group})", "无权使用（属于组{group}）"},
    {"port_state_not_serial", "not a serial port", "不是串口"},
    {"port_state_not_printer_port", "not a printer port", "不是打印机端口"},
    {"port_state_failed", "cannot be opened: {error}", "无法打开：{error}"},
    {"port_state_inactive", "inactive", "未激活"},
    {"usb_maker_supported", ", a supported maker", "，受支持的厂商"},
    {"usb_maker_unsupported", ", a maker --link usb does not look for", "，--link usb 不查找的厂商"},
    {"usb_printer_chosen", "; the USB upgrade uses this one", "；USB升级使用这一台"},
    {"usb_serial_number", "serial {serial}", "序列号 {serial}"},
    {"usb_id", "id {id}", "编号 {id}"},
    {"usb_port_path", ", port path {path}", "，端口路径 {path}"},
    {"usb_bus_device", ", bus {bus} device {device}", "，总线{bus} 设备{device}"},
    {"port_unmappable", "no COM name can be given to {node}", "无法为{node}分配COM名称"},
    {"port_used", "Port: {port}", "端口：{port}"},

    // Several printers at once.
    {"fleet_completed", "All {count} printers upgraded in {seconds} s", "全部{count}台打印机升级完成，用时{seconds}秒"},
    {"fleet_failed", "{failed} of {count} printers not upgraded ({seconds} s)",
     "{count}台打印机中{failed}台未升级成功（用时{seconds}秒）"},
    {"fleet_stopped", "Upgrades stopped: {completed} of {count} printers completed ({seconds} s); each printer's "
     "state is stated above",
     "升级已停止：{count}台打印机中{completed}台完成（用时{seconds}秒）；每台打印机的状态见上文"},
    {"fleet_total", "Total: {done} of {count} ended", "总计：{count}台中{done}台已结束"},
    {"fleet_pending", "waiting", "等待"},
    {"fleet_running", "running", "进行中"},
    {"fleet_completed_one", "completed", "完成"},
    {"fleet_failed_one", "failed", "失败"},
    {"fleet_stopped_one", "stopped", "已停止"},
    {"fleet_table_heading", "Printer|Result|Bytes|Time|Reason", "打印机|结果|字节|用时|原因"},
    {"fleet_retry", "To upgrade only the printers that did not complete:", "只升级未完成的打印机："},
    {"worker_not_started", "its upgrade could not be started: {detail}", "无法启动其升级：{detail}"},
    {"worker_ended", "its upgrade ended without a result (exit status {status})",
     "其升级未给出结果即已结束（退出状态{status}）"},

    // The pre-flight check and the service record.
    {"check_target_ready", "{target}: ready; expected duration {seconds} s to {high} s",
     "{target}：就绪；预计用时{seconds}至{high}秒"},
    {"check_target_not_ready", "{target}: not ready: {reason}", "{target}：未就绪：{reason}"},
    {"check_ready", "All {ready} of {targets} printers are ready; nothing was sent to any of them",
     "全部{targets}台打印机中{ready}台就绪；未向任何打印机发送数据"},
    {"check_not_ready", "{ready} of {targets} printers are ready; nothing was sent to any of them",
     "{targets}台打印机中{ready}台就绪；未向任何打印机发送数据"},
    {"not_ready", "not every printer is ready", "并非所有打印机都已就绪"},
    {"record_unwritable", "the service record {file} cannot be written: {detail}", "无法写入维修记录{file}：{detail}"},

    // An upgrade stopped from outside: its cause, and the printer's state.
    {"stopped_by_sigint", "by Ctrl-C (SIGINT)", "被Ctrl-C（SIGINT）"},
    {"stopped_by_sigterm", "by SIGTERM", "被SIGTERM"},
    {"stopped_by_sighup", "because the terminal went away (SIGHUP)", "因终端断开（SIGHUP）"},
    {"stopped_by_closed_output", "because its output was closed", "因输出被关闭"},
    {"interrupted", "interrupted by Ctrl-C (SIGINT)", "被Ctrl-C（SIGINT）中断"},
    {"stop_asked",
     "stopping after the printer answers the frame on its way, at most 3 s; Ctrl-C again to quit now",
     "将在打印机答复正在发送的帧后停止，最多3秒；再按Ctrl-C立即退出"},
    {"terminated", "ended by SIGTERM", "被SIGTERM终止"},
    {"hung_up", "the terminal went away (SIGHUP)", "终端已断开（SIGHUP）"},
    {"output_closed", "the output was closed", "输出已被关闭"},
};

}  // namespace

const CatalogRow *CatalogRows(size_t *count) {
  *count = sizeof kRows / sizeof kRows[0];
  return kRows;
}

}  // namespace velloran::cli
