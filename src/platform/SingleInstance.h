// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;
class QLocalSocket;

// Keeps one running Tavrix per settings file. The first start takes a lock
// file and listens on a local socket, both named after a hash of the settings
// file's canonical path (so a different HOME or XDG_CONFIG_HOME is a different
// instance); a later start with the same settings file hands its arguments
// over that socket and ends. A lock or socket file left behind by a crashed
// instance is detected (the lock names a process that no longer runs) and
// replaced, so it never blocks a start.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Primary,    // this process is the instance; activationRequested() reports later starts
        HandedOver, // a running instance took the arguments: end this process
        NoAnswer,   // a running instance holds the lock but did not take the arguments
        Unguarded,  // the lock could not be made (see errorString()): run without the guard
    };

    // settingsFile: the settings file the instance uses. runtimeFolder holds
    // the lock and the socket; empty means the user's runtime folder
    // (XDG_RUNTIME_DIR).
    explicit SingleInstance(const QString &settingsFile, const QString &runtimeFolder = QString(),
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the primary instance or hands the arguments to the running one,
    // waiting up to timeoutMs for it to answer.
    Role claim(const QStringList &arguments, int timeoutMs = 5000);

    Role role() const { return m_role; }
    QString errorString() const { return m_error; }
    QString lockFilePath() const;
    QString socketPath() const;

    // The name shared by the lock and the socket: "tavrix-" and the hash of
    // the settings file's canonical path.
    static QString keyFor(const QString &settingsFile);

signals:
    // Another start with the same settings file handed over its arguments:
    // the window should come to the front.
    void activationRequested(const QStringList &arguments);

private:
    bool handOver(const QStringList &arguments, int timeoutMs);
    void listen();
    void readMessage(QLocalSocket *socket);

    QString m_folder;
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    Role m_role = Role::Unguarded;
    QString m_error;
};
