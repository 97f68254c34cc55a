// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/ThrottledCall.h"

#include <utility>

ThrottledCall::ThrottledCall(std::chrono::milliseconds interval, QObject *context,
                             std::function<void()> action)
    : m_interval(interval)
    , m_call(std::move(action))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(interval);
    QObject::connect(&m_timer, &QTimer::timeout, context, [this] { call(); });
}

void ThrottledCall::request()
{
    if (m_sinceCall.isValid() && std::chrono::milliseconds(m_sinceCall.elapsed()) < m_interval) {
        if (!m_timer.isActive())
            m_timer.start();
        return;
    }
    call();
}

void ThrottledCall::flush()
{
    if (m_timer.isActive())
        call();
}

void ThrottledCall::call()
{
    m_timer.stop();
    m_sinceCall.start();
    m_call();
}
