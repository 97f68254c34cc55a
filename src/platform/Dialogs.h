// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

enum class MessageIcon { Information, Exclamation, Stop };
// YesNo has No as its default button, YesNoDefaultYes has Yes.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoDefaultYes };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// Every modal message box, folder picker and choice list of the program goes
// through this interface, so tests can answer them without a person.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    virtual MessageAnswer showMessage(QWidget *owner, MessageIcon icon, MessageButtons buttons,
                                      const QString &title, const QString &text) = 0;

    // Returns the chosen folder as a full path ending with '/', or an empty
    // string when the user cancels. The picker opens at `startFolder` (when
    // given) and shows hidden folders, as games often lie under ~/.steam,
    // ~/.local or a Wine prefix.
    virtual QString pickFolder(QWidget *owner, const QString &title,
                               const QString &startFolder) = 0;

    // A list to choose one item from; returns the item's index, or -1 when
    // the user cancels.
    virtual int chooseItem(QWidget *owner, const QString &title, const QString &text,
                           const QStringList &items) = 0;
};

// Production dialogs: QMessageBox, Qt's own QFileDialog (the desktop's
// native pickers may hide hidden folders) and QInputDialog.
class QtDialogs final : public Dialogs
{
public:
    MessageAnswer showMessage(QWidget *owner, MessageIcon icon, MessageButtons buttons,
                              const QString &title, const QString &text) override;
    QString pickFolder(QWidget *owner, const QString &title, const QString &startFolder) override;
    int chooseItem(QWidget *owner, const QString &title, const QString &text,
                   const QStringList &items) override;
};
