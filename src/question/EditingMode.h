#pragma once

namespace kvalor {

// The editing mode of the question window, as the window sees it: the points where editing
// differs from an examination. The tests tree provides it, so that the window, which the
// examination and the results use too, does not depend on the authoring windows.
class IEditingMode {
public:
    IEditingMode() = default;
    IEditingMode(const IEditingMode&) = delete;
    IEditingMode& operator=(const IEditingMode&) = delete;
    virtual ~IEditingMode() = default;

    // Leaving the current question for another one (or none); false when the author stays.
    virtual bool MayLeave() = 0;
    // The question (or none) is on display.
    virtual void QuestionShown() = 0;
    // The window starts in the editing mode.
    virtual void Started() = 0;
    // The window is about to close in the editing mode; false keeps it open.
    virtual bool CloseQuery() = 0;
    // The window's font has changed.
    virtual void ArrangeButtons() = 0;
    virtual void UpdateActions() = 0;
};

}  // namespace kvalor
