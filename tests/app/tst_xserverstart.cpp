// SPDX-License-Identifier: GPL-3.0-or-later
// The built program as the only client of a fresh X server that resets itself
// when its last client leaves, as on a bare X session or a kiosk: every start
// opens its window.

#include "StopProcess.h"
#include "XvfbServer.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Program = QStringLiteral(TAVRIX_PROGRAM);
constexpr int Starts = 50;

} // namespace

class tst_XServerStart : public QObject
{
    Q_OBJECT

private slots:
    void opensItsWindowAsTheOnlyClient();
};

void tst_XServerStart::opensItsWindowAsTheOnlyClient()
{
    if (!XvfbServer::isInstalled() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("Xvfb and xdotool are needed (scripts/install-dependencies installs them)");
    QTemporaryDir user;
    QVERIFY(user.isValid());

    for (int start = 1; start <= Starts; ++start) {
        XvfbServer server(XvfbServer::LastClientLeaving::Resets);
        QVERIFY2(server.start(), qPrintable(server.failure()));
        const QProcessEnvironment environment = server.userEnvironment(user.path());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(Program, {});
        QVERIFY(program.waitForStarted());

        // Nothing else connects before the program holds the server: a client
        // of the test leaving first would reset the server itself. The
        // program's second connection is the window system's.
        QTRY_VERIFY_WITH_TIMEOUT(server.connectionsFrom(program.processId()) >= 2 ||
                                     program.state() != QProcess::Running,
                                 20000);
        bool opened = false;
        if (program.state() == QProcess::Running) {
            QProcess search;
            search.setProcessEnvironment(environment);
            search.start(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--sync"),
                          QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                          QString::number(program.processId())});
            opened = search.waitForFinished(20000) && search.exitCode() == 0;
            stopProcess(search);
        }
        const QString outcome =
            program.state() == QProcess::Running ? QStringLiteral("no window shown")
            : program.exitStatus() == QProcess::CrashExit
                ? QStringLiteral("it crashed")
                : QStringLiteral("it ended with status %1").arg(program.exitCode());
        stopProcess(program, 10000);
        QVERIFY2(opened, qPrintable(QStringLiteral("start %1 of %2, %3: %4\nX server log:\n%5")
                                        .arg(start)
                                        .arg(Starts)
                                        .arg(outcome, QString::fromLocal8Bit(program.readAll()),
                                             server.log())));
    }
}

QTEST_GUILESS_MAIN(tst_XServerStart)
#include "tst_xserverstart.moc"
