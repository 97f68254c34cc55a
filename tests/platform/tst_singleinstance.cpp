// SPDX-License-Identifier: GPL-3.0-or-later
// One running instance per settings file: a later start hands its arguments
// to the running one, a different settings file is a different instance, and
// what a crashed instance leaves behind never blocks a start.

#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>

using Role = SingleInstance::Role;

namespace {

// Claims in a thread of its own, as a second process would, while this
// thread's event loop lets a primary instance here answer.
Role claimElsewhere(const QString &settingsFile, const QString &folder,
                    const QStringList &arguments = {}, int timeoutMs = 5000)
{
    Role role = Role::Unguarded;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        SingleInstance instance(settingsFile, folder);
        role = instance.claim(arguments, timeoutMs);
    }));
    thread->start();
    while (!thread->wait(10))
        QCoreApplication::processEvents();
    return role;
}

// The same program started as a primary instance in a process of its own:
// prints "primary", then one line per hand-over with its arguments.
int runPrimaryInstance(const QString &settingsFile, const QString &folder)
{
    SingleInstance instance(settingsFile, folder);
    if (instance.claim({}) != Role::Primary)
        return 2;
    QObject::connect(&instance, &SingleInstance::activationRequested,
                     [](const QStringList &arguments) {
                         std::printf("%s\n", qPrintable(arguments.join(QLatin1Char('|'))));
                         std::fflush(stdout);
                     });
    std::printf("primary\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// Whether an instance listens under `name`.
bool listening(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    return socket.waitForConnected(5000);
}

// A line the other process printed, without the line end (which is "\r\n"
// on Windows).
QByteArray lineFrom(QProcess &process)
{
    return process.readLine().trimmed();
}

const QString PrimaryOption = QStringLiteral("--run-primary-instance");

} // namespace

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void laterStartHandsOver();
    void endedInstanceMakesWay();
    void crashLeftovers();
    void busyLockWithoutAnswer();
    void malformedHandOvers();

private:
    // A settings file inside the test's folder, as each user has one.
    QString settingsFile(const QString &user) const
    {
        return m_dir->filePath(user + QStringLiteral("/.config/TAVRIX/TAVRIX.conf"));
    }
    QString runtime() const { return m_dir->filePath(QStringLiteral("runtime")); }
    bool startPrimaryProcess(QProcess &process, const QString &settings) const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_SingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

bool tst_SingleInstance::startPrimaryProcess(QProcess &process, const QString &settings) const
{
    process.start(QCoreApplication::applicationFilePath(), {PrimaryOption, settings, runtime()});
    return process.waitForStarted() && process.waitForReadyRead(10000) &&
           lineFrom(process) == "primary";
}

void tst_SingleInstance::laterStartHandsOver()
{
    SingleInstance first(settingsFile(QStringLiteral("a")), runtime());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QCOMPARE(first.claim({}), Role::Primary);
    QVERIFY(first.errorString().isEmpty());
    QVERIFY(QFile::exists(first.lockFilePath()));
    QVERIFY(listening(first.socketPath()));

    const QStringList arguments{QStringLiteral("-style"), QStringLiteral("Fusion"), QString(),
                                QStringLiteral("two words, \"quoted\" \u00e9\u6f22")};
    QCOMPARE(claimElsewhere(settingsFile(QStringLiteral("a")), runtime(), arguments),
             Role::HandedOver);
    QCOMPARE(activations.size(), 1);
    QCOMPARE(activations.at(0).at(0).toStringList(), arguments);

    // The same file reached through another spelling of its path is the same
    // instance; another user's settings file is another instance.
    const QString roundabout =
        m_dir->filePath(QStringLiteral("a/.config/../.config/./TAVRIX/TAVRIX.conf"));
    QCOMPARE(SingleInstance::keyFor(roundabout), SingleInstance::keyFor(settingsFile("a")));
    // So is a path through a symbolic link, where the system lets a user
    // make one (on Windows QFile::link makes a shortcut instead).
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("a/.config"))));
    const QString link = m_dir->filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("a")), link));
    int handedOver = 1;
    if (QFileInfo(link).isSymbolicLink()) {
        QCOMPARE(claimElsewhere(link + QStringLiteral("/.config/TAVRIX/TAVRIX.conf"), runtime()),
                 Role::HandedOver);
        ++handedOver;
    }
    QCOMPARE(activations.size(), handedOver);
    QCOMPARE(claimElsewhere(settingsFile(QStringLiteral("b")), runtime()), Role::Primary);
    QCOMPARE(activations.size(), handedOver);

    // A hand-over to another process.
    QProcess other;
    QVERIFY(startPrimaryProcess(other, settingsFile(QStringLiteral("c"))));
    SingleInstance later(settingsFile(QStringLiteral("c")), runtime());
    QCOMPARE(later.claim({QStringLiteral("x"), QStringLiteral("y z")}), Role::HandedOver);
    QVERIFY(other.waitForReadyRead(10000));
    QCOMPARE(lineFrom(other), QByteArray("x|y z"));
    // Ended outright: Windows asks only a process with windows to close.
    other.kill();
    QVERIFY(other.waitForFinished());
}

void tst_SingleInstance::endedInstanceMakesWay()
{
    auto first = std::make_unique<SingleInstance>(settingsFile(QStringLiteral("a")), runtime());
    QCOMPARE(first->claim({}), Role::Primary);
    const QString lock = first->lockFilePath();
    const QString socket = first->socketPath();
    first.reset();
    QVERIFY(!QFile::exists(lock));
    QVERIFY(!QFile::exists(socket));
    QVERIFY(!listening(socket));

    SingleInstance next(settingsFile(QStringLiteral("a")), runtime());
    QCOMPARE(next.claim({}), Role::Primary);
    QSignalSpy activations(&next, &SingleInstance::activationRequested);
    QCOMPARE(claimElsewhere(settingsFile(QStringLiteral("a")), runtime()), Role::HandedOver);
    QCOMPARE(activations.size(), 1);
}

void tst_SingleInstance::crashLeftovers()
{
    // A socket file without a lock.
    {
        SingleInstance probe(settingsFile(QStringLiteral("a")), runtime());
        QVERIFY(QDir().mkpath(runtime()));
        QFile leftover(probe.socketPath());
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        QCOMPARE(probe.claim({}), Role::Primary);
        QVERIFY(probe.errorString().isEmpty());
        QCOMPARE(claimElsewhere(settingsFile(QStringLiteral("a")), runtime()), Role::HandedOver);
    }

    // A process that held the lock and listened, killed.
    QProcess crashed;
    QVERIFY(startPrimaryProcess(crashed, settingsFile(QStringLiteral("b"))));
    crashed.kill();
    QVERIFY(crashed.waitForFinished());
    SingleInstance next(settingsFile(QStringLiteral("b")), runtime());
    // Its lock file is left, naming a process that is gone (on Linux its
    // socket file too, as in the case above); nothing answers.
    QVERIFY(QFile::exists(next.lockFilePath()));
    QVERIFY(!listening(next.socketPath()));
    QCOMPARE(next.claim({}), Role::Primary);
    QSignalSpy activations(&next, &SingleInstance::activationRequested);
    QCOMPARE(claimElsewhere(settingsFile(QStringLiteral("b")), runtime()), Role::HandedOver);
    QCOMPARE(activations.size(), 1);
}

void tst_SingleInstance::busyLockWithoutAnswer()
{
    // A running process holds the lock but never listens (hung before it
    // could): the later start neither takes over nor waits forever.
    SingleInstance instance(settingsFile(QStringLiteral("a")), runtime());
    QVERIFY(QDir().mkpath(runtime()));
    QLockFile held(instance.lockFilePath());
    QVERIFY(held.tryLock());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(instance.claim({}, 500), Role::NoAnswer);
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!instance.errorString().isEmpty());
    QVERIFY(!QFile::exists(instance.socketPath()));

    // Once that lock is gone the start goes ahead.
    held.unlock();
    QCOMPARE(instance.claim({}), Role::Primary);

    // A runtime folder that cannot be made: no guard, but no refusal either.
    QFile blocker(m_dir->filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SingleInstance unguarded(settingsFile(QStringLiteral("a")),
                             m_dir->filePath(QStringLiteral("file/runtime")));
    QCOMPARE(unguarded.claim({}), Role::Unguarded);
    QVERIFY(!unguarded.errorString().isEmpty());
}

void tst_SingleInstance::malformedHandOvers()
{
    SingleInstance instance(settingsFile(QStringLiteral("a")), runtime());
    QCOMPARE(instance.claim({}), Role::Primary);
    QSignalSpy activations(&instance, &SingleInstance::activationRequested);

    const QByteArray bad[] = {"not json\n", "{\"a\":1}\n", "[\"x\",2]\n",
                              QByteArray(70 * 1024, '[')};
    for (const QByteArray &message : bad) {
        QLocalSocket socket;
        socket.connectToServer(instance.socketPath());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(message);
        QTRY_COMPARE(socket.state(), QLocalSocket::UnconnectedState);
        QVERIFY2(!socket.readAll().contains("ok"), message.left(20).constData());
    }
    QCOMPARE(activations.size(), 0);
    QCOMPARE(claimElsewhere(settingsFile(QStringLiteral("a")), runtime(), {QStringLiteral("x")}),
             Role::HandedOver);
    QCOMPARE(activations.size(), 1);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == PrimaryOption)
        return runPrimaryInstance(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    tst_SingleInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
