#pragma once

#include "dialogs/prompter.h"
#include "editor/mainwindow.h"
#include "report/errorreporter.h"
#include "report/errortext.h"

#include <optional>
#include <string>

namespace kelto {

// Shows the busy cursor at once and restores the normal one however the operation ends.
class BusyCursor {
public:
    explicit BusyCursor(MainWindow& window) : m_window(window) {
        m_window.setCursor(Qt::WaitCursor);
    }
    ~BusyCursor() { m_window.setCursor(Qt::ArrowCursor); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    MainWindow& m_window;
};

// A file name as the core's file functions take it (the local 8-bit encoding).
std::string localPath(const QString& path);

// Reads one of the user's files under the busy cursor. A file that cannot be read is the file's
// fault, not the program's: the reason is told to the user (not logged as a program error) and
// the result is empty. The cursor is back to normal before the message shows.
template <class Read>
auto readUserFile(MainWindow& window, Read read) -> std::optional<decltype(read())> {
    try {
        BusyCursor busy(window);
        return read();
    } catch (const KeltoError& e) {
        prompter().tell(errorMessage(e));
        return std::nullopt;
    }
}

} // namespace kelto
