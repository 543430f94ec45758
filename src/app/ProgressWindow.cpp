#include "app/ProgressWindow.h"

#include "ui/ProgramCaption.h"

namespace kvalor {

namespace {

// The dialog's scale: fine enough for a smooth bar, whatever units the core counts.
constexpr int kSteps = 1000;
constexpr int kShowAfterMs = 500;

}  // namespace

ProgressWindow::ProgressWindow(const QString& label) {
    dialog_.setWindowTitle(kProgramCaption);
    dialog_.setLabelText(label);
    dialog_.setCancelButton(nullptr);
    dialog_.setWindowModality(Qt::ApplicationModal);
    dialog_.setMinimumDuration(kShowAfterMs);
    dialog_.setRange(0, kSteps);
    dialog_.setValue(0);
}

Progress ProgressWindow::callback() {
    return [this](std::uint64_t done, std::uint64_t total) {
        // A modal dialog handles the pending events itself on each new value.
        dialog_.setValue(total == 0 ? kSteps : static_cast<int>(done * kSteps / total));
    };
}

}  // namespace kvalor
