#include "editor/mainwindow.h"
#include "settings/errorreporter.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelto Animator"));

    kelto::ErrorReporter::instance().setDisplayHook([](const std::string& line) {
        QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromStdString(line));
    });

    kelto::MainWindow window;
    window.show();
    return QApplication::exec();
}
