// The printer's state after a stop, in both languages.
#include "printer_state.h"

#include <algorithm>
#include <iterator>

namespace velloran {
namespace {

// In the order of UpgradeReach.
const MessageRow kRows[] = {
    // Probe frames of the baud-rate detection may have gone out; they change
    // nothing on the printer.
    {"stopped_nothing_sent", "Upgrade stopped {cause} before the boot switch: nothing on the printer changed.",
     "升级{cause}停止，尚未切换至Boot模式：打印机上没有任何改变。"},
    {"stopped_before_erase",
     "Upgrade stopped {cause} before the erase: the printer's firmware is unchanged; it may stay in boot mode "
     "until it is switched off and on.",
     "升级{cause}停止，尚未擦除：打印机的固件没有改变；它可能停留在Boot模式，直到断电重启。"},
    {"stopped_after_erase",
     "Upgrade stopped {cause} after the erase began: the printer's flash is erased or partly written. Keep the "
     "printer powered and run the upgrade again.",
     "升级{cause}停止，擦除已经开始：打印机的闪存已被擦除或只写入了一部分。请保持打印机通电，并重新运行升级。"},
};
static_assert(std::size(kRows) == static_cast<size_t>(UpgradeReach::kFlash) + 1);

}  // namespace

Message PrinterStateMessage(UpgradeReach reach, const Message &cause) {
  return FillMessage(kRows[static_cast<size_t>(reach)], {{"cause", cause}});
}

const MessageRow *PrinterStateRow(std::string_view id) {
  const auto row = std::ranges::find(kRows, id, &MessageRow::id);
  return row == std::end(kRows) ? nullptr : row;
}

}  // namespace velloran
