// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controller/PlatformServices.h"

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class ClickableLabel;
class frmMain;

// The program's first window. It looks for the socket component module in
// the component folder: when the module is there it stays hidden and opens
// the main window at once; otherwise it shows itself as a dialog that names
// the missing file and offers "Ignore" (open the main window anyway) and
// "Exit".
class frmStart final : public QDialog
{
    Q_OBJECT

public:
    // endProgram ends the process's event loop; tests pass their own.
    explicit frmStart(const PlatformServices &services,
                      std::function<void()> endProgram = defaultEndProgram);
    ~frmStart() override;

    static void defaultEndProgram();

    frmMain *mainWindow() const { return m_main.get(); }
    // The path of the module looked for.
    QString componentPath() const { return m_componentPath; }

    QLabel *lblTitle = nullptr;
    QLabel *lblFile1 = nullptr;
    QLabel *lblInfo = nullptr;
    ClickableLabel *lblSite = nullptr;
    QPushButton *cmdIgnore = nullptr;
    QPushButton *cmdExit = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildControls();
    void Form_Load();
    void showMainWindow();
    void cmdIgnore_Click();
    void cmdExit_Click();
    void lblSite_Click();

    PlatformServices m_services;
    std::function<void()> m_endProgram;
    QString m_componentPath;
    std::unique_ptr<frmMain> m_main;
};
