#include "editor/mainwindow.h"

namespace kelto {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Kelto Animator"));
    resize(800, 600);
}

} // namespace kelto
