// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controller/PlatformServices.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;
class ClickableLabel;

// The About box: version, legal notice with the author's mail link, the web
// links and the machine's memory, refreshed every second while the window
// exists. "OK" only hides it; the close box destroys it.
class frmAbout final : public QDialog
{
    Q_OBJECT

public:
    frmAbout(const PlatformServices &services, QWidget *owner);

    QTimer *tmrMemo() const { return m_tmrMemo; }

    // Controls, named as their object names.
    ClickableLabel *piTop = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *imgIcon = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblFor = nullptr;
    QLabel *lblCopy = nullptr;
    ClickableLabel *lblCorvath = nullptr;
    QLabel *lblFree = nullptr;
    ClickableLabel *lblWebsite = nullptr;
    QLabel *lblVisit = nullptr;
    ClickableLabel *lblOribel = nullptr;
    QLabel *lblMemo = nullptr;
    QPushButton *cmdOK = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildControls();
    void Form_Load();
    void Memo();
    void cmdOK_Click();
    void piTop_Click();
    void lblWebsite_Click();
    void lblOribel_Click();
    void lblCorvath_Click();

    PlatformServices m_services;
    QTimer *m_tmrMemo = nullptr;
};
