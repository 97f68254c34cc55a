// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TerminationSignals.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <functional>
#include <windows.h>

namespace {

// Windows ends the process soon after a window has answered WM_ENDSESSION, so
// the orderly end runs inside the message, before the answer.
class SessionEndFilter final : public QObject, public QAbstractNativeEventFilter
{
public:
    SessionEndFilter(QObject *parent, std::function<void()> ended)
        : QObject(parent)
        , m_ended(std::move(ended))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~SessionEndFilter() override
    {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray &, void *message, qintptr *) override
    {
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_ENDSESSION && msg->wParam && !m_done) {
            m_done = true;
            m_ended();
        }
        return false;
    }

private:
    std::function<void()> m_ended;
    bool m_done = false;
};

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (!QCoreApplication::instance())
        return;
    new SessionEndFilter(this, [this] { emit received(0); });
    m_installed = true;
}

TerminationSignals::~TerminationSignals() = default;
