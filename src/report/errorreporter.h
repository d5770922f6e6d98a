#pragma once

#include "base/error.h"

#include <exception>
#include <functional>
#include <string>

namespace kelto {

// The one place failures end up, in the app and the CLI: shows the message in the user's
// language through the display hook (message box in the app, stderr in the CLI, a recorder in
// tests), raises the program-wide error flag and appends the line "English message in tag at
// date-time" to error_log.txt in the settings folder. The user reads the sentence alone; where
// and when it happened is for the log. Failures the core recovers from by itself reach it too.
class ErrorReporter {
public:
    using DisplayHook = std::function<void(const std::string& message)>;

    static ErrorReporter& instance();

    void setDisplayHook(DisplayHook hook) { m_display = std::move(hook); }
    // A KeltoError is shown translated by its code; other exceptions by their own text.
    void report(const std::exception& failure, const std::string& tag);
    // A message already in the words the user should read.
    void report(const std::string& message, const std::string& tag);

    bool errorFlag() const { return m_errorFlag; }
    void clearErrorFlag() { m_errorFlag = false; }

    // The line as report() builds it, for a given time text.
    static std::string formatLine(const std::string& message, const std::string& tag,
                                  const std::string& when);

private:
    ErrorReporter();
    void report(const std::string& shown, const std::string& logged, const std::string& tag);
    void appendToLog(const std::string& line);

    DisplayHook m_display;
    bool m_errorFlag = false;
};

void reportError(const std::string& message, const std::string& tag);
void reportError(const std::exception& failure, const std::string& tag);

// Runs f; any exception goes to the error reporter with the tag, and the call returns normally.
// Returns true when f finished without an exception.
template <class F>
bool guarded(const char* tag, F&& f) noexcept {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        reportError(e, tag);
    } catch (...) {
        reportError("Unknown error", tag);
    }
    return false;
}

} // namespace kelto
