#pragma once

class QWidget;

namespace kvalor {

// Sets the point size of every control inside the window, keeping each one's other font
// attributes (a bold caption stays bold). The window itself keeps its font, and so do other
// windows it owns (dialogs); the menus of its tool buttons, menu bar and actions are included,
// since they are popups of this window. A size of 0 or less changes nothing.
void ApplyFontSize(QWidget* window, int pointSize);

// Whether the control's font has another point size; the windows apply the size only then.
bool FontSizeDiffers(const QWidget* control, int pointSize);

}  // namespace kvalor
