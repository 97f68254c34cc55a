// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPainter;
class QPalette;
class QPushButton;
class QRadioButton;
class QString;
class QWidget;
class ClickableLabel;
class ElidingComboBox;
class ProgressStrip;

// The main window's layout: its size, its controls placed as the layout has
// them with their fixed texts, names and keyboard order, and the lines drawn
// between them; and the looks the controls take on: locked inputs, the
// progress bar, the high-bitrate warning. The window connects the controls.
struct frmMainControls
{
    // The text the welcome label shows between sessions.
    static const char *const WelcomeText;

    // Sizes and names `window` and creates the controls inside it.
    void build(QWidget *window);
    // The lines and the frame drawn on the window itself.
    static void paint(QPainter &painter, const QPalette &palette);

    // Locks the inputs while a session runs, the start button showing
    // "Cancel" and unusable until the window enables it, or unlocks them
    // between sessions ("Start Buffering"); the bar starts again empty.
    void lockInputs(bool locked);
    // The bar shows `bytes` of `fileSizeBytes` as its share of the strip.
    void showProgress(qint64 bytes, qint64 fileSizeBytes);
    // The bitrate label in red, underlined and explaining itself, or plain.
    void showBitrateWarning(bool high);
    bool bitrateWarningShown() const;
    static QString highBitrateExplanation();
    // A folder box shows the path's beginning; its tooltip the whole path.
    static void showFolder(QLineEdit *box, const QString &folder);

    QLabel *imgTop = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblWelcome = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblFullUrl = nullptr;
    QLineEdit *txtURL = nullptr;
    ClickableLabel *lblFind = nullptr;
    QLabel *lblTemporary = nullptr;
    QLineEdit *txtBufferPath = nullptr;
    QPushButton *cmdTemporary = nullptr;
    QLabel *lblRecent = nullptr;
    ElidingComboBox *cmbRecent = nullptr;
    QLabel *lblBuffer = nullptr;
    QWidget *Picture1 = nullptr;
    QRadioButton *opt56K = nullptr;
    QRadioButton *optDSL = nullptr;
    QRadioButton *optCustom = nullptr;
    QComboBox *cmbBuffer = nullptr;
    QLabel *lblBufferSize = nullptr;
    QLabel *lblAdvanced = nullptr;
    QLabel *lblServerName = nullptr;
    QLabel *lblGenre = nullptr;
    QLabel *lblURL = nullptr;
    ClickableLabel *lblBitrate = nullptr;
    QLabel *lblStatus = nullptr;
    ProgressStrip *picStatusBar = nullptr;
    QFrame *shpBar = nullptr;
    QLabel *lblGTA = nullptr;
    QLabel *lblGTAfolder = nullptr;
    QLineEdit *txtRadioPath = nullptr;
    QPushButton *cmdGTAfolder = nullptr;
    QPushButton *cmdAbout = nullptr;
    QPushButton *cmdExit = nullptr;
    QCheckBox *chkStart = nullptr;
    QPushButton *cmdStart = nullptr;
};
