#pragma once

// Helpers for tests of what writers do when the disk refuses bytes or the program is killed.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelto::testing {

// While alive, no file this process writes may grow beyond the given size: a write past it
// fails with EFBIG, as one does on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes test input plainly, without the code under test.
inline void putFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// Every entry of a folder, hidden ones included: what a user would find there.
inline QStringList everythingIn(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs work in a child process and kills it with SIGKILL as soon as work has written a byte
// to the descriptor it is given. Returns the child's pid, or -1 when it never got that far.
inline pid_t killWhenReady(const std::function<void(int readyFd)>& work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        try {
            work(pipeFds[1]);
        } catch (...) {
        }
        _exit(3);
    }
    close(pipeFds[1]);
    char byte = 0;
    const bool ready = pid > 0 && read(pipeFds[0], &byte, 1) == 1;
    close(pipeFds[0]);
    if (pid > 0) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            return -1;
        }
    }
    return ready ? pid : -1;
}

// Tells the parent of killWhenReady that the moment has come.
inline void signalReady(int readyFd) {
    const char byte = 1;
    (void)!write(readyFd, &byte, 1);
}

} // namespace kelto::testing
