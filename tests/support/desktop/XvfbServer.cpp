// SPDX-License-Identifier: GPL-3.0-or-later
#include "XvfbServer.h"

#include "StopProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

XvfbServer::XvfbServer(LastClientLeaving behaviour)
    : m_behaviour(behaviour)
{}

XvfbServer::~XvfbServer()
{
    stopProcess(m_process);
}

bool XvfbServer::isInstalled()
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
}

bool XvfbServer::start()
{
    // Xvfb picks a free display and writes its number on the given descriptor
    // once it listens. Audit level 2 logs each client with its process id.
    QStringList arguments{
        QStringLiteral("-displayfd"), QStringLiteral("1"),          QStringLiteral("-screen"),
        QStringLiteral("0"),          QStringLiteral("800x600x24"), QStringLiteral("-nolisten"),
        QStringLiteral("tcp"),        QStringLiteral("-audit"),     QStringLiteral("2")};
    if (m_behaviour == LastClientLeaving::KeepsState)
        arguments << QStringLiteral("-noreset");
    if (!m_log.open()) {
        m_failure = QStringLiteral("no file for the X server's log: ") + m_log.errorString();
        return false;
    }
    m_process.setStandardErrorFile(m_log.fileName());
    m_process.start(QStringLiteral("Xvfb"), arguments);
    if (!m_process.waitForStarted()) {
        m_failure = QStringLiteral("Xvfb did not start: ") + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(20000);
    while (!m_process.canReadLine() && m_process.state() == QProcess::Running &&
           !deadline.hasExpired())
        m_process.waitForReadyRead(100);
    const QByteArray number = m_process.readLine().trimmed();
    if (number.isEmpty()) {
        m_failure = QStringLiteral("Xvfb named no display: ") + log();
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number);
    if (m_behaviour == LastClientLeaving::Resets)
        return true;
    while (!deadline.hasExpired()) {
        QProcess client;
        client.setStandardOutputFile(QProcess::nullDevice());
        client.setStandardErrorFile(QProcess::nullDevice());
        client.start(QStringLiteral("xdpyinfo"), {QStringLiteral("-display"), m_display});
        if (client.waitForFinished() && client.exitStatus() == QProcess::NormalExit &&
            client.exitCode() == 0)
            return true;
        QThread::msleep(100);
    }
    m_failure = QStringLiteral("Xvfb on %1 does not answer: %2").arg(m_display, log());
    return false;
}

QProcessEnvironment XvfbServer::userEnvironment(const QString &folder) const
{
    const QString home = folder + QStringLiteral("/home");
    const QString runtime = folder + QStringLiteral("/runtime");
    QDir().mkpath(home);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return environment;
}

int XvfbServer::connectionsFrom(qint64 pid) const
{
    const QRegularExpression connected(
        QStringLiteral("client \\d+ connected from .* pid=%1 ").arg(pid));
    return int(log().count(connected));
}

QString XvfbServer::log() const
{
    QFile file(m_log.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(file.readAll());
}
