// The main dialog's layout in dialog units, shared by every view: size,
// title, font, and the controls in template order (which is also the tab and
// z order: the first control lies on top).
#pragma once

#include <span>

namespace velloran {

enum class ControlKind {
  kRadioButton,  // automatic radio button
  kComboBox,     // drop-down with editable text
  kEdit,         // single-line edit box
  kLogEdit,      // multi-line, read-only edit box with a vertical scroll bar
  kPushButton,
  kGroupBox,
  kProgressBar,  // smooth, range 0 to 100
};

struct DialogRect {
  int x, y, cx, cy;
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char *text;
  DialogRect rect;
  bool visible;
  bool tab_stop;
  bool starts_group;  // the radio buttons from here on form one group
  bool sorted;        // combo boxes that keep their entries sorted as text
};

struct DialogTemplate {
  int id;
  const char *title;
  const char *font_face;
  int font_points;
  int cx, cy;
  std::span<const ControlTemplate> controls;
};

// Template 102, the main dialog.
const DialogTemplate &MainDialogTemplate();

}  // namespace velloran
