// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>

MessageAnswer QtDialogs::showMessage(QWidget *owner, MessageIcon icon, MessageButtons buttons,
                                     const QString &title, const QString &text)
{
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MessageButtons::YesNoDefaultYes:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Cancel;
    }
}

QString QtDialogs::pickFolder(QWidget *owner, const QString &title, const QString &startFolder)
{
    QFileDialog dialog(owner, title, startFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    // Qt's form of the path ('/' on every system), as the program keeps
    // folders; they are shown the system's way.
    QString folder = dialog.selectedFiles().constFirst();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

int QtDialogs::chooseItem(QWidget *owner, const QString &title, const QString &text,
                          const QStringList &items)
{
    // A list rather than a drop-down: every item is seen at once.
    QInputDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(text);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    if (!items.isEmpty())
        dialog.setTextValue(items.constFirst());
    // Wide enough for the longest item (paths), within the screen.
    int widest = 0;
    for (const QString &item : items)
        widest = qMax(widest, dialog.fontMetrics().horizontalAdvance(item));
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const int maximum = screen ? screen->availableGeometry().width() * 9 / 10 : widest + 80;
    dialog.resize(qMin(qMax(dialog.sizeHint().width(), widest + 80), maximum),
                  dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    return int(items.indexOf(dialog.textValue()));
}
