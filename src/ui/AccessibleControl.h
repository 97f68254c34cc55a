// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/AccessibleValuedWidget.h"

// A control of type Widget presented with the given role, which also offers
// one of Qt's additional accessible interfaces (text, value, ...) implemented
// by the class derived from this one: asked for that interface, it answers
// with itself. The control's value, as screen readers read it, is the derived
// class's valueText().
//
// The value's text is overridden in the base class, not here: a `text` of
// this class would hide the text interface's own.
template <typename Widget, QAccessible::Role Role, typename Interface,
          QAccessible::InterfaceType InterfaceType>
class AccessibleControl : public AccessibleValuedWidget, public Interface
{
public:
    explicit AccessibleControl(Widget *control)
        : AccessibleValuedWidget(control, Role)
    {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == InterfaceType)
            return static_cast<Interface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

protected:
    Widget *control() const { return static_cast<Widget *>(widget()); }
};
