#include "dialogs/prompter.h"
#include "editor/autosave.h"
#include "editor/mainwindow.h"
#include "editor/screenshot.h"
#include "editor/userfiles.h"
#include "report/errorreporter.h"
#include "settings/atomicfile.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[]) {
    kelto::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelto Animator"));

    kelto::ErrorReporter::instance().setDisplayHook([](const std::string& message) {
        QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromStdString(message));
    });

    // The main window creates the other windows; the document starts at its first activation.
    kelto::MainWindow window;
    kelto::QtPrompter prompter(&window);
    kelto::setPrompter(&prompter);
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        window.setCommandLine(args[1]);
    }
    window.show();
    // Offers the work of a session that ended abnormally, then keeps this one's recovery file;
    // destroyed before the window, which removes the file at a normal end.
    kelto::Autosave autosave(window);
    autosave.start();
    // scripts/screenshot: pictures of the windows, then quit.
    const QString shots = qEnvironmentVariable("KELTO_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        kelto::scheduleScreenshots(window, shots);
    }
    const int result = QApplication::exec();
    kelto::setPrompter(nullptr);
    return result;
}
