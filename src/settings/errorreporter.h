#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace kelto {

// Failures are exceptions carrying a message meant for the user.
class KeltoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The one place failures end up: shows the message through the display hook (message box in the
// app, stderr in the CLI, a recorder in tests), raises the program-wide error flag and appends
// the line "message in tag at date-time" to error_log.txt in the settings folder. The user reads
// the sentence alone; where and when it happened is for the log.
class ErrorReporter {
public:
    using DisplayHook = std::function<void(const std::string& message)>;

    static ErrorReporter& instance();

    void setDisplayHook(DisplayHook hook) { m_display = std::move(hook); }
    void report(const std::string& message, const std::string& tag);

    bool errorFlag() const { return m_errorFlag; }
    void clearErrorFlag() { m_errorFlag = false; }

    // The line as report() builds it, for a given time text.
    static std::string formatLine(const std::string& message, const std::string& tag,
                                  const std::string& when);

private:
    void appendToLog(const std::string& line);

    DisplayHook m_display;
    bool m_errorFlag = false;
};

void reportError(const std::string& message, const std::string& tag);

// Runs f; any exception goes to the error reporter with the tag, and the call returns normally.
// Returns true when f finished without an exception.
template <class F>
bool guarded(const char* tag, F&& f) noexcept {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        reportError(e.what(), tag);
    } catch (...) {
        reportError("Unknown error", tag);
    }
    return false;
}

} // namespace kelto
