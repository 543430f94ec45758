#pragma once

class QWidget;

namespace kvalor {

// The font sizes the windows are laid out for: below, texts cannot be read; above, the
// examination windows no longer fit a screen.
inline constexpr int kMinFontSize = 6;
inline constexpr int kMaxFontSize = 36;
// The size brought within those bounds.
int BoundedFontSize(int pointSize);

// Sets the point size of every control inside the window, keeping each one's other font
// attributes (a bold caption stays bold). The window itself keeps its font, and so do other
// windows it owns (dialogs); the menus of its tool buttons, menu bar and actions are included,
// since they are popups of this window. A size of 0 or less changes nothing.
void ApplyFontSize(QWidget* window, int pointSize);

// Whether the control's font has another point size; the windows apply the size only then.
bool FontSizeDiffers(const QWidget* control, int pointSize);

// A width in pixels laid out for an 8-point font, grown in proportion to the control's font
// (never shrunk), so that a column still shows what it was made wide enough for.
int ScaledToFont(const QWidget& control, int width);

}  // namespace kvalor
