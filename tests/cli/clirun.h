// Running kelto-cli as a child process, and the small animation its export tests share.
#pragma once

#include "document/document.h"
#include "document/kelformat.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace kelto::testing {

struct CliRun {
    int code = -1; // -1 when the program crashed or did not finish
    QByteArray out;
    QString err;

    QString outText() const { return QString::fromUtf8(out); }
};

// kelto-cli with args; childSetup, when given, runs in the child before the program starts
// (to set a resource limit, say).
inline CliRun runCli(const QStringList& args, const std::function<void()>& childSetup = {}) {
    QProcess p;
    if (childSetup) {
        p.setChildProcessModifier(childSetup);
    }
    p.start(KELTO_CLI_PATH, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

// Three frames of a stick man walking step pixels right from (x, y), written as walk.kel in
// dir; with holdSecond the second frame lasts two periods.
struct WalkSpec {
    int width = 160;
    int height = 120;
    double x = 60;
    double y = 90;
    double step = 10;
    bool holdSecond = true;
};

inline QString writeWalk(const QTemporaryDir& dir, const WalkSpec& spec = {}) {
    Document doc(spec.width, spec.height);
    Figures edit = doc.newEditFrame();
    for (int i = 0; i < 3; ++i) {
        edit.figures[0].placeRoot({spec.x + spec.step * i, spec.y}, doc.figureType(1));
        edit.figures[0].updateBounds(doc.figureType(1));
        Figures frame;
        frame.assign(edit);
        frame.repeatCount = spec.holdSecond && i == 1 ? 2 : 1;
        doc.frames.push_back(frame);
    }
    const QString path = dir.filePath("walk.kel");
    saveAnimation(doc, removeExtension(path.toStdString()));
    return path;
}

} // namespace kelto::testing
