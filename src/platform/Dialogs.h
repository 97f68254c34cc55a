#pragma once

#include <QString>

class QWidget;

enum class MessageIcon { Information, Exclamation, Stop };
// YesNo answers Ok for "Yes" and Cancel for "No".
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel };

// Every modal message box and folder picker of the program goes through this
// interface, so tests can answer them without a person.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    virtual MessageAnswer showMessage(QWidget *owner, MessageIcon icon, MessageButtons buttons,
                                      const QString &title, const QString &text) = 0;

    // Returns the chosen folder as a full path ending with '/', or an empty
    // string when the user cancels.
    virtual QString pickFolder(QWidget *owner, const QString &title) = 0;
};

// Production dialogs: QMessageBox and QFileDialog::getExistingDirectory.
class QtDialogs final : public Dialogs
{
public:
    MessageAnswer showMessage(QWidget *owner, MessageIcon icon, MessageButtons buttons,
                              const QString &title, const QString &text) override;
    QString pickFolder(QWidget *owner, const QString &title) override;
};
