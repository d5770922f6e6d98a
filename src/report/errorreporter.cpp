#include "report/errorreporter.h"

#include "report/errortext.h"
#include "settings/atomicfile.h"
#include "settings/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace kelto {

ErrorReporter::ErrorReporter() {
    setRecoveredFailureHandler(
        [](const std::exception& failure, const char* tag) { reportError(failure, tag); });
}

ErrorReporter& ErrorReporter::instance() {
    static ErrorReporter reporter;
    return reporter;
}

std::string ErrorReporter::formatLine(const std::string& message, const std::string& tag,
                                      const std::string& when) {
    return message + " in " + tag + " at " + when;
}

void ErrorReporter::report(const std::exception& failure, const std::string& tag) {
    report(errorMessage(failure).toStdString(), failure.what(), tag);
}

void ErrorReporter::report(const std::string& message, const std::string& tag) {
    report(message, message, tag);
}

// The log keeps the English text, so one log reads the same whatever language made it.
void ErrorReporter::report(const std::string& shown, const std::string& logged,
                           const std::string& tag) {
    const std::string when =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString();
    const std::string line = formatLine(logged, tag, when);
    m_errorFlag = true;
    try {
        appendToLog(line);
    } catch (...) {
        // The log is a convenience; failing to write it must not hide the message itself.
    }
    if (m_display) {
        m_display(shown);
    } else {
        std::fprintf(stderr, "%s\n", formatLine(shown, tag, when).c_str());
    }
}

void ErrorReporter::appendToLog(const std::string& line) {
    const QString folder = settingsFolder();
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("error_log.txt");

    // The log is read whole and written back with the new line added, so a failed write
    // keeps the history as it was. A log that exists but cannot be read is left alone rather
    // than replaced by the one new line.
    QByteArray contents;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            throw KeltoError(ErrorCode::ReadFailed, path.toStdString());
        }
        contents = existing.readAll();
        existing.close();
    }
    if (!contents.isEmpty() && !contents.endsWith('\n')) {
        contents.append('\n');
    }
    contents.append(line.c_str());
    contents.append('\n');
    writeFileReplacing(QFile::encodeName(path).toStdString(), contents.constData(),
                       size_t(contents.size()));
}

void reportError(const std::string& message, const std::string& tag) {
    ErrorReporter::instance().report(message, tag);
}

void reportError(const std::exception& failure, const std::string& tag) {
    ErrorReporter::instance().report(failure, tag);
}

} // namespace kelto
