#include "dialog_template.h"

#include "resource.h"

namespace velloran {
namespace {

using K = ControlKind;

// id, kind, text, rect, visible, tab stop, starts group, sorted
constexpr ControlTemplate kControls[] = {
    {IDC_RADIO_USB, K::kRadioButton, "USB", {26, 32, 30, 10}, true, false, true, false},
    {IDC_RADIO_SERIAL, K::kRadioButton, "Serial Port", {189, 32, 49, 10}, true, false, false, false},
    {IDC_RADIO_NET, K::kRadioButton, "网口", {23, 124, 31, 10}, false, false, false, false},
    {IDC_RADIO_LPT, K::kRadioButton, "LPT", {110, 32, 29, 10}, true, false, false, false},
    {IDC_COMBO_PORT, K::kComboBox, "", {247, 31, 39, 41}, true, true, false, true},
    {IDC_EDIT_PATH, K::kEdit, "", {24, 84, 146, 14}, true, true, false, false},
    {IDC_BUTTON_OPEN, K::kPushButton, "Open", {182, 84, 50, 14}, true, true, false, false},
    {IDC_BUTTON_LOAD, K::kPushButton, "Load", {238, 84, 53, 14}, true, true, false, false},
    {IDC_STATIC, K::kGroupBox, "Application Load", {15, 67, 283, 63}, true, false, false, false},
    {IDC_EDIT_LOG, K::kLogEdit, "", {15, 134, 283, 12}, false, true, false, false},
    {IDC_PROGRESS, K::kProgressBar, "", {24, 105, 264, 14}, true, false, false, false},
    {IDC_STATIC, K::kGroupBox, "Port Configure", {16, 14, 283, 44}, true, false, false, false},
    {IDC_COMBO_BAUD, K::kComboBox, "", {204, 135, 48, 64}, false, true, false, true},
};

constexpr DialogTemplate kMainDialog = {
    IDD_VELLORAN_DIALOG, "Velloran-V4.0", "MS Shell Dlg", 9, 319, 154, kControls,
};

}  // namespace

const DialogTemplate &MainDialogTemplate() { return kMainDialog; }

}  // namespace velloran
