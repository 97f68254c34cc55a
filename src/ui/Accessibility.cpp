// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Accessibility.h"

#include "ui/AccessibleClickableLabel.h"
#include "ui/AccessibleComboBox.h"
#include "ui/AccessibleProgressStrip.h"
#include "ui/ClickableLabel.h"
#include "ui/ProgressStrip.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace Accessibility {

namespace {

// Qt asks with the object's class name first, then its base classes'.
QAccessibleInterface *programInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("ClickableLabel"))
        return new AccessibleClickableLabel(static_cast<ClickableLabel *>(object));
    if (className == QLatin1String("ProgressStrip"))
        return new AccessibleProgressStrip(static_cast<ProgressStrip *>(object));
    // Factories installed later are asked first, so this one answers for
    // drop-down lists before Qt's own; lists that take typing stay Qt's.
    if (className == QLatin1String("QComboBox") && !static_cast<QComboBox *>(object)->isEditable())
        return new AccessibleComboBox(static_cast<QComboBox *>(object));
    // A plain widget used as a top-level window would be announced as a
    // filler pane.
    if (className == QLatin1String("frmMain"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(programInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace Accessibility
