#include "platform/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

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
    if (buttons == MessageButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

QString QtDialogs::pickFolder(QWidget *owner, const QString &title)
{
    QString folder = QFileDialog::getExistingDirectory(owner, title);
    if (folder.isEmpty())
        return {};
    folder = QDir::toNativeSeparators(folder);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}
