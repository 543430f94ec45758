#pragma once

#include <QProgressDialog>
#include <QString>

#include "util/Progress.h"

namespace kvalor {

// The advance of a long save or import, shown once it lasts more than a moment. The dialog is
// modal, so nothing else is started meanwhile, has no cancel button (a half-written file or a
// half-merged journal is no state to leave), and goes with this object.
class ProgressWindow {
public:
    explicit ProgressWindow(const QString& label);
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // The callback for the core; valid while this object lives.
    Progress callback();

private:
    QProgressDialog dialog_;
};

}  // namespace kvalor
