// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int HandledSignals[] = {SIGTERM, SIGHUP, SIGINT};

int signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    // Only async-signal-safe calls here; errno is the interrupted code's.
    const int savedErrno = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void restoreDefaults()
{
    for (const int number : HandledSignals)
        std::signal(number, SIG_DFL);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = true;
    for (const int number : HandledSignals)
        m_installed = ::sigaction(number, &action, nullptr) == 0 && m_installed;
}

TerminationSignals::~TerminationSignals()
{
    restoreDefaults();
    delete m_notifier;
    for (int &end : signalPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void TerminationSignals::readSignal()
{
    char byte = 0;
    if (::read(signalPipe[0], &byte, 1) != 1)
        return;
    restoreDefaults();
    m_notifier->setEnabled(false);
    emit received(int(byte));
}
