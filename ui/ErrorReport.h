#pragma once
// The application's error report: one non-modal error window, whose text is
// replaced when another error comes (errors repeating from timer ticks never
// stack dialogs or nest event loops), and the guard that runs a handler and
// reports what it raised.
#include <QString>
#include <exception>
#include <utility>

namespace ui {

class ErrorReport {
public:
    /// Shows `message` in the error window (creating or updating it).
    static void Show(const QString& message);
    /// The last message shown, and how many reports were made (for tests).
    static QString LastMessage();
    static int Count();
    /// Forgets the count and message and hides the window.
    static void Reset();
};

/// Runs `handler`; a run-time error (or any std::exception) abandons it at
/// the failing step and is reported. Returns false when it failed.
template <class F>
bool Guard(F&& handler)
{
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const std::exception& e) {
        ErrorReport::Show(QString::fromUtf8(e.what()));
        return false;
    }
}

} // namespace ui
