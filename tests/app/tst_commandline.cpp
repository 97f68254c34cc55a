// SPDX-License-Identifier: GPL-3.0-or-later
// The built program's command line, run as a separate process with a clean
// environment: help and version without a display, a clear refusal without
// one or with an X display nobody answers on, and one running instance per
// settings location.

#include "platform/DisplayServer.h"
#include "platform/SettingsLocation.h"
#include "util/Version.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Program = QStringLiteral(TAVRIX_PROGRAM);

struct Run
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
    QString err;
};

Run runProgram(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(Program, arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    // Windows ends the lines it writes with "\r\n".
    const auto text = [](const QByteArray &bytes) {
        return QString::fromLocal8Bit(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    };
    run.out = text(process.readAllStandardOutput());
    run.err = text(process.readAllStandardError());
    return run;
}

// Only a home folder and a UTF-8 locale, which Qt expects of every process
// (without one, newer Qt versions warn on standard error).
QProcessEnvironment bareEnvironment(const QString &home)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return environment;
}

// Settings, cache and runtime folders of one user, inside the test's folder.
QProcessEnvironment userEnvironment(const QString &home, const QString &runtime)
{
    QProcessEnvironment environment = bareEnvironment(home);
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return environment;
}

QStringList socketsIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("tavrix-*.socket")}, QDir::System | QDir::Files);
}

// The processes named by the instance locks in a runtime folder.
QList<qint64> lockHolders(const QString &folder)
{
    QList<qint64> holders;
    for (const QString &name : QDir(folder).entryList({QStringLiteral("tavrix-*.lock")})) {
        qint64 pid = 0;
        QString host;
        QString application;
        if (QLockFile(QDir(folder).filePath(name)).getLockInfo(&pid, &host, &application))
            holders << pid;
    }
    return holders;
}

// An X display name with no server behind it on this machine.
QString unusedDisplay()
{
    for (int number = 173; number < 400; ++number) {
        const QString suffix = QString::number(number);
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X") + suffix) &&
            !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(suffix)))
            return QLatin1Char(':') + suffix;
    }
    qFatal("No free X display number");
}

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void outputAndStatus_data();
    void outputAndStatus();
    void oneInstancePerSettingsLocation();
};

void tst_CommandLine::outputAndStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("exitCode");
    // Regular expressions the whole standard output and error must match.
    // In every column "%1" stands for a display name nobody answers on.
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    // Without any display: the options that need none, and the faults.
    const QStringList none;
    const QString version = QStringLiteral("Tavrix %1.%2.%3\n")
                                .arg(TAVRIX_VERSION_MAJOR)
                                .arg(TAVRIX_VERSION_MINOR)
                                .arg(TAVRIX_VERSION_PATCH);
    const QString usage = QStringLiteral("Usage: \\S*tavrix(\\.exe)? \\[options\\]\\n(.*\\n)*"
                                         "  -h, --help .*\\n(.*\\n)*  -v, --version .*\\n(.*\\n)*");
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << none << 0 << usage
                            << QString();
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << none << 0 << usage << QString();
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << none << 0
                               << QRegularExpression::escape(version) << QString();
    QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << none << 0
                        << QRegularExpression::escape(version) << QString();
    QTest::newRow("version with a window-system option")
        << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("-v")}
        << none << 0 << QRegularExpression::escape(version) << QString();
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--bogus")} << none << 1 << QString()
        << QStringLiteral("tavrix: [^\\n]*'bogus'[^\\n]*--help[^\\n]*\\n");
    QTest::newRow("stray argument")
        << QStringList{QStringLiteral("radio.example.org")} << none << 1 << QString()
        << QStringLiteral("tavrix: [^\\n]*'radio.example.org'[^\\n]*\\n");

    // Where windows need a display server (X11): none, or one nobody
    // answers on.
    if (!DisplayServer::isRequired())
        return;
    QTest::newRow("no display") << QStringList() << none << 1 << QString()
                                << QStringLiteral("tavrix: [^\\n]*DISPLAY[^\\n]*\\n");
    const QString refused = QStringLiteral("tavrix: cannot connect to the display %1: [^\\n]+\\n");
    const QStringList unreachable{QStringLiteral("DISPLAY=%1")};
    QTest::newRow("DISPLAY") << QStringList() << unreachable << 1 << QString() << refused;
    QTest::newRow("DISPLAY with the X11 plugin chosen")
        << QStringList() << (unreachable + QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb")}) << 1
        << QString() << refused;
    QTest::newRow("-platform xcb")
        << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb")} << unreachable << 1
        << QString() << refused;
    QTest::newRow("--platform xcb")
        << QStringList{QStringLiteral("--platform"), QStringLiteral("xcb")} << unreachable << 1
        << QString() << refused;
    QTest::newRow("-display wins over DISPLAY")
        << QStringList{QStringLiteral("-display"), QStringLiteral("%1")}
        << QStringList{QStringLiteral("DISPLAY=:0")} << 1 << QString() << refused;
    QTest::newRow("-display without DISPLAY")
        << QStringList{QStringLiteral("-display"), QStringLiteral("%1")} << QStringList() << 1
        << QString() << refused;
    QTest::newRow("name that is not a display")
        << QStringList() << QStringList{QStringLiteral("DISPLAY=no display here")} << 1 << QString()
        << QStringLiteral("tavrix: cannot connect to the display no display here: [^\\n]+\\n");
    QTest::newRow("X11 plugin without DISPLAY")
        << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb")} << QStringList() << 1
        << QString() << QStringLiteral("tavrix: [^\\n]*DISPLAY is not set[^\\n]*\\n");
    QTest::newRow("--help, display unreachable")
        << QStringList{QStringLiteral("--help")} << unreachable << 0
        << QStringLiteral("Usage: [^\\n]*tavrix(.*\\n)+") << QString();
    QTest::newRow("--version, display unreachable")
        << QStringList{QStringLiteral("--version")} << unreachable << 0
        << QStringLiteral("Tavrix [0-9.]+\\n") << QString();
}

void tst_CommandLine::outputAndStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const QString display = unusedDisplay();
    const QString placeholder = QStringLiteral("%1");
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment variables = bareEnvironment(home.path());
    for (const QString &variable : environment) {
        variables.insert(variable.section(u'=', 0, 0),
                         variable.section(u'=', 1).replace(placeholder, display));
    }
    for (QString &argument : arguments)
        argument.replace(placeholder, display);
    const Run run = runProgram(arguments, variables);

    // Ends by itself with its message, not with the window system's abort.
    QCOMPARE(run.status, QProcess::NormalExit);
    QCOMPARE(run.exitCode, exitCode);
    const auto whole = [&](QString pattern) {
        pattern.replace(placeholder, QRegularExpression::escape(display));
        return QRegularExpression(QRegularExpression::anchoredPattern(pattern));
    };
    QVERIFY2(whole(out).match(run.out).hasMatch(), qPrintable(run.out));
    QVERIFY2(whole(err).match(run.err).hasMatch(), qPrintable(run.err));
}

void tst_CommandLine::oneInstancePerSettingsLocation()
{
    // The users are told apart by their settings folders (XDG_CONFIG_HOME).
    if (SettingsLocation::isRegistryKey(SettingsLocation::defaultLocation()))
        QSKIP("The settings are the user's registry key, which the environment does not choose: "
              "tst_singleinstance tests the guard on this system");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    QVERIFY(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QProcessEnvironment userA = userEnvironment(dir.filePath(QStringLiteral("a")), runtime);
    const QProcessEnvironment userB = userEnvironment(dir.filePath(QStringLiteral("b")), runtime);

    QProcess first;
    first.setProcessEnvironment(userA);
    first.start(Program, QStringList());
    QVERIFY(first.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(socketsIn(runtime).size(), 1, 20000);

    // Same settings: hands over and ends, the first keeps running.
    Run second = runProgram(QStringList(), userA);
    QCOMPARE(second.status, QProcess::NormalExit);
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(second.out,
             QStringLiteral("Tavrix is already running; its window was brought to the front.\n"));
    QCOMPARE(second.err, QString());
    QCOMPARE(first.state(), QProcess::Running);

    // Other settings: an instance of its own.
    QProcess other;
    other.setProcessEnvironment(userB);
    other.start(Program, QStringList());
    QVERIFY(other.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(socketsIn(runtime).size(), 2, 20000);
    QCOMPARE(other.state(), QProcess::Running);

    // A crash leaves the lock and the socket behind; they do not block the
    // next start, which becomes the instance a later start hands over to.
    first.kill();
    QVERIFY(first.waitForFinished());
    QCOMPARE(socketsIn(runtime).size(), 2);
    QProcess restarted;
    restarted.setProcessEnvironment(userA);
    restarted.start(Program, QStringList());
    QVERIFY(restarted.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(lockHolders(runtime).contains(restarted.processId()), 20000);
    second = runProgram(QStringList(), userA);
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(restarted.state(), QProcess::Running);

    for (QProcess *process : {&other, &restarted}) {
        process->terminate();
        QVERIFY(process->waitForFinished());
    }
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
