// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

// The message boxes and questions of a buffering run, shown through the
// program's dialogs over the window that shows the run. The window is only
// handed on as the boxes' owner.
class Messages final
{
public:
    Messages(Dialogs &dialogs, QWidget *owner)
        : m_dialogs(dialogs)
        , m_owner(owner)
    {}

    void tell(MessageIcon icon, const QString &text) const { ask(icon, MessageButtons::Ok, text); }
    MessageAnswer ask(MessageIcon icon, MessageButtons buttons, const QString &text) const
    {
        return m_dialogs.showMessage(m_owner, icon, buttons, QStringLiteral("Tavrix"), text);
    }

private:
    Dialogs &m_dialogs;
    QWidget *m_owner;
};
