#include "settings/errorreporter.h"

#include "settings/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace kelto {

ErrorReporter& ErrorReporter::instance() {
    static ErrorReporter reporter;
    return reporter;
}

std::string ErrorReporter::formatLine(const std::string& message, const std::string& tag,
                                      const std::string& when) {
    return message + " in " + tag + " at " + when;
}

void ErrorReporter::report(const std::string& message, const std::string& tag) {
    const std::string when =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString();
    const std::string line = formatLine(message, tag, when);
    m_errorFlag = true;
    try {
        appendToLog(line);
    } catch (...) {
        // The log is a convenience; failing to write it must not hide the message itself.
    }
    if (m_display) {
        m_display(message);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

void ErrorReporter::appendToLog(const std::string& line) {
    const QString folder = settingsFolder();
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("error_log.txt");

    // The log is read whole and written back with the new line added.
    QByteArray contents;
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly)) {
        contents = existing.readAll();
        existing.close();
    }
    if (!contents.isEmpty() && !contents.endsWith('\n')) {
        contents.append('\n');
    }
    contents.append(line.c_str());
    contents.append('\n');

    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(contents);
        out.commit();
    }
}

void reportError(const std::string& message, const std::string& tag) {
    ErrorReporter::instance().report(message, tag);
}

} // namespace kelto
