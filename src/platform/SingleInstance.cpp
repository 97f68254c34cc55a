// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SingleInstance.h"

#include "platform/RuntimeFolder.h"
#include "platform/SettingsLocation.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace {

// A hand-over is one line: the arguments as a compact JSON array of strings.
// The instance answers "ok" once it has taken them.
constexpr qint64 MaxMessageSize = 64 * 1024;
const QByteArray Acknowledgement = QByteArrayLiteral("ok\n");

// How long a later start waits before asking a busy lock again.
constexpr int RetryIntervalMs = 100;

} // namespace

SingleInstance::SingleInstance(const QString &settingsFile, const QString &runtimeFolder,
                               QObject *parent)
    : QObject(parent)
    , m_folder(runtimeFolder.isEmpty() ? ::runtimeFolder() : runtimeFolder)
    , m_key(keyFor(settingsFile))
{}

SingleInstance::~SingleInstance()
{
    // The socket file goes before the lock: once the lock is free a new
    // instance may create a socket file of the same name, which closing this
    // server afterwards would delete.
    delete m_server;
    m_server = nullptr;
    m_lock.reset();
}

QString SingleInstance::keyFor(const QString &settingsFile)
{
    const QByteArray hash = QCryptographicHash::hash(
        SettingsLocation::identity(settingsFile).toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("tavrix-") + QString::fromLatin1(hash.toHex().left(32));
}

QString SingleInstance::lockFilePath() const
{
    return QDir(m_folder).filePath(m_key + QStringLiteral(".lock"));
}

QString SingleInstance::socketPath() const
{
    return QDir(m_folder).filePath(m_key + QStringLiteral(".socket"));
}

SingleInstance::Role SingleInstance::claim(const QStringList &arguments, int timeoutMs)
{
    if (m_role == Role::Primary)
        return m_role;
    m_error.clear();
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder)) {
        m_error = QStringLiteral("no runtime folder for the instance lock (%1)").arg(m_folder);
        return m_role = Role::Unguarded;
    }

    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_lock = std::make_unique<QLockFile>(lockFilePath());
        // The lock is held for the whole run: only a lock whose process has
        // ended is stale, never an old one.
        m_lock->setStaleLockTime(0);
        if (m_lock->tryLock(0)) {
            listen();
            return m_role = Role::Primary;
        }
        const QLockFile::LockError error = m_lock->error();
        m_lock.reset();
        if (error != QLockFile::LockFailedError) {
            m_error = QStringLiteral("cannot create the instance lock %1").arg(lockFilePath());
            return m_role = Role::Unguarded;
        }
        if (handOver(arguments, int(qMax<qint64>(deadline.remainingTime(), 0))))
            return m_role = Role::HandedOver;
        if (deadline.hasExpired())
            break;
        // The running instance may be between taking the lock and listening,
        // or just ending.
        QThread::msleep(RetryIntervalMs);
    }
    m_error = QStringLiteral("the running instance (lock %1) does not answer").arg(lockFilePath());
    return m_role = Role::NoAnswer;
}

bool SingleInstance::handOver(const QStringList &arguments, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    const QByteArray message =
        QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact) + '\n';
    socket.write(message);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return socket.readLine() == Acknowledgement;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // This process holds the lock, so a socket file of this name can only be
    // left over from an instance that crashed.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        m_error =
            QStringLiteral("cannot listen on %1: %2").arg(socketPath(), m_server->errorString());
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this,
                    [this, socket] { readMessage(socket); });
            readMessage(socket);
        }
    });
}

void SingleInstance::readMessage(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxMessageSize)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(MaxMessageSize + 1);
    const QJsonDocument document = QJsonDocument::fromJson(line);
    QStringList arguments;
    bool wellFormed = document.isArray();
    const QJsonArray array = document.array();
    for (const QJsonValue &value : array) {
        wellFormed = wellFormed && value.isString();
        arguments << value.toString();
    }
    if (!wellFormed) {
        socket->abort();
        return;
    }
    socket->write(Acknowledgement);
    socket->flush();
    emit activationRequested(arguments);
}
