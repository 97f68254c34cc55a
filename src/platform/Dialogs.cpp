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
    }
    const int answer = box.exec();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes ? MessageAnswer::Ok
                                                                   : MessageAnswer::Cancel;
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
