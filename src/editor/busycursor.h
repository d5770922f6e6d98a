#pragma once

#include "editor/mainwindow.h"

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

} // namespace kelto
