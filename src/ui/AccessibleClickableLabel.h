// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>

class ClickableLabel;

// Presents a clickable label by what it is now: a link or a button that
// assistive tools can press, or plain text. Named by its text. The role is decided when asked,
// since Qt may create the interface while the label is being set up.
class AccessibleClickableLabel final : public QAccessibleWidget
{
public:
    explicit AccessibleClickableLabel(ClickableLabel *label);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    ClickableLabel *label() const;
};
