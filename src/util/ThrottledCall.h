// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <functional>

// Makes a call at most once per interval: a request that comes sooner after
// the last call waits until the interval is over, and all the requests made
// meanwhile give that one call. For showing values that can change far
// faster than anyone reads them, the last of them always shown.
class ThrottledCall final
{
public:
    // `context` is the object the call belongs to: no call is made once it
    // is gone.
    ThrottledCall(std::chrono::milliseconds interval, QObject *context,
                  std::function<void()> action);
    ThrottledCall(const ThrottledCall &) = delete;
    ThrottledCall &operator=(const ThrottledCall &) = delete;

    void request();
    // A waiting request is made now.
    void flush();
    // A waiting request is dropped.
    void cancel() { m_timer.stop(); }

private:
    void call();

    std::chrono::milliseconds m_interval;
    std::function<void()> m_call;
    QElapsedTimer m_sinceCall;
    QTimer m_timer;
};
