// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

// A control of type Widget presented with the given role, which also offers
// one of Qt's additional accessible interfaces (text, value, ...) implemented
// by the class derived from this one: asked for that interface, it answers
// with itself. The control's value, as screen readers read it, is the derived
// class's valueText().
template <typename Widget, QAccessible::Role Role, typename Interface,
          QAccessible::InterfaceType InterfaceType>
class AccessibleControl : public QAccessibleWidget, public Interface
{
public:
    explicit AccessibleControl(Widget *control)
        : QAccessibleWidget(control, Role)
    {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == InterfaceType)
            return static_cast<Interface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return valueText();
        return QAccessibleWidget::text(t);
    }

protected:
    virtual QString valueText() const = 0;

    Widget *control() const { return static_cast<Widget *>(widget()); }
};
