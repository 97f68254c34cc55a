#pragma once

#include <QAccessibleWidget>

class ClickableLabel;

// Presents a link label as a link named by its text, which assistive tools
// can press.
class AccessibleLink final : public QAccessibleWidget
{
public:
    explicit AccessibleLink(ClickableLabel *link);

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
};
