// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/termination_signals.h"

#include "platform/log.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace sorabune {

namespace {

Q_LOGGING_CATEGORY(lcSignals, kSignalsLog, QtWarningMsg)

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written from the signal handler, hence a plain global.
volatile std::sig_atomic_t g_writeFd = -1;

extern "C" void onTerminationSignal(int)
{
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing more to do.
    [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        qCWarning(lcSignals, "no pipe for termination signals: %s", std::strerror(errno));
        return; // the signals keep their default action
    }
    m_readFd = fds[0];
    g_writeFd = fds[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_readFd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::drain);

    struct sigaction action { };
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (m_readFd < 0)
        return;
    struct sigaction action { };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    m_notifier.reset();
    ::close(g_writeFd);
    g_writeFd = -1;
    ::close(m_readFd);
}

void TerminationSignals::drain()
{
    char bytes[16];
    while (::read(m_readFd, bytes, sizeof bytes) > 0) { }
    emit received();
}

} // namespace sorabune
