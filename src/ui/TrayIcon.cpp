// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TrayIcon.h"

#include "ui/Resources.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

TrayIcon::TrayIcon(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_menu(std::make_unique<QMenu>())
{
    m_showHide = m_menu->addAction(QStringLiteral("Hide"), this, &TrayIcon::toggleWindow);
    m_start = m_menu->addAction(QStringLiteral("Start Buffering"), this, &TrayIcon::startRequested);
    m_titles =
        m_menu->addAction(QStringLiteral("Played Titles..."), this, &TrayIcon::titlesRequested);
    m_menu->addSeparator();
    m_exit = m_menu->addAction(QStringLiteral("Exit"), this, &TrayIcon::exitRequested);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TrayIcon::updateShowHideText);

    m_icon = new QSystemTrayIcon(programIcon(), this);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    toggleWindow();
            });
    setStatus(QString(), QString());
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show()
{
    m_icon->show();
}

bool TrayIcon::isVisible() const
{
    return m_icon->isVisible();
}

void TrayIcon::setStatus(const QString &station, const QString &status)
{
    m_station = station;
    m_status = status;
    updateToolTip();
}

void TrayIcon::setTitle(const QString &title)
{
    m_title = title;
    updateToolTip();
}

void TrayIcon::updateToolTip()
{
    QStringList lines{QStringLiteral("Tavrix")};
    if (!m_station.isEmpty())
        lines << m_station;
    if (!m_station.isEmpty() && !m_title.isEmpty())
        lines << QStringLiteral("Now playing: ") + m_title;
    if (!m_status.isEmpty())
        lines << m_status;
    m_icon->setToolTip(lines.join(QLatin1Char('\n')));
}

QString TrayIcon::toolTip() const
{
    return m_icon->toolTip();
}

void TrayIcon::setStartAction(const QString &text, bool enabled)
{
    m_start->setText(text);
    m_start->setEnabled(enabled);
}

bool TrayIcon::notify(const QString &title, const QString &text)
{
    if (!m_icon->isVisible() || windowShown())
        return false;
    m_icon->showMessage(title, text, programIcon());
    return true;
}

bool TrayIcon::windowShown() const
{
    return m_window && m_window->isVisible() && !m_window->isMinimized();
}

void TrayIcon::toggleWindow()
{
    if (!m_window)
        return;
    if (windowShown()) {
        m_window->hide();
    } else {
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
    }
    updateShowHideText();
}

void TrayIcon::updateShowHideText()
{
    m_showHide->setText(windowShown() ? QStringLiteral("Hide") : QStringLiteral("Show"));
}
