#pragma once

#include <concepts>
#include <exception>
#include <functional>
#include <utility>

#include <QString>

namespace kvalor {

// The text as the error box shows it: a full stop is appended when the last character lies
// above the full stop in the Windows-1251 code page (a letter gets one; ".", a blank, ")" or a
// line break do not).
QString withFullStop(const QString& text);

// Shows a top-level error the way the program does everywhere: an error box captioned
// "Квалор" through the installed prompts, with the full stop rule above.
void showError(const QString& text);
// A KvalorError shows its message; any other exception its what().
void showError(const std::exception& error);

// Runs the action and shows what it throws, since no exception may cross Qt's event loop.
// Returns whether the action finished without throwing.
template <std::invocable F>
bool guarded(F&& action) {
    try {
        std::invoke(std::forward<F>(action));
        return true;
    } catch (const std::exception& error) {
        showError(error);
        return false;
    }
}

// A slot that runs the action guarded: connect(button, &QPushButton::clicked, this, guard(...)).
// It takes no arguments, so it connects to any signal.
template <std::invocable F>
auto guard(F action) {
    return [action = std::move(action)]() mutable { guarded(action); };
}

}  // namespace kvalor
