// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPainter;
class QPalette;
class QPushButton;
class QRadioButton;
class QWidget;
class ClickableLabel;
class ElidingComboBox;
class ProgressStrip;

// The main window's layout: its size, its controls placed as the layout has
// them with their fixed texts, names and keyboard order, and the lines drawn
// between them. The window connects the controls.
struct frmMainControls
{
    // The text the welcome label shows between sessions.
    static const char *const WelcomeText;

    // Sizes and names `window` and creates the controls inside it.
    void build(QWidget *window);
    // The lines and the frame drawn on the window itself.
    static void paint(QPainter &painter, const QPalette &palette);

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
