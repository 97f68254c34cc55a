// SPDX-License-Identifier: GPL-3.0-or-later
// The built program on a real X server of its own, in a D-Bus session of its
// own with the accessibility bus, read from outside by desktop_check.py:
// the main window as a screen reader gets it, and the icon in a real XEmbed
// system tray (trayer) with its tooltip and menu. With TAVRIX_SCREENSHOT_DIR
// set, the tray with its menu open is saved there as screenshot-tray.png.

#include "StopProcess.h"
#include "XvfbServer.h"
#include "controller/BufferModes.h"
#include "settings/RecentStations.h"
#include "settings/Settings.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Program = QStringLiteral(TAVRIX_PROGRAM);
const QString Script = QStringLiteral(TAVRIX_DESKTOP_CHECK);
const QString Python = QStringLiteral("/usr/bin/python3");
// The recent station the settings select, other than the first.
constexpr int RecentStation = 2;

} // namespace

class tst_Desktop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void screenReaderReadsTheMainWindow();
    void trayIconInARealTray();

private:
    // Runs desktop_check.py in its own D-Bus session; its report and status.
    void check(const QString &mode, const QStringList &extra = {});
    bool startTrayHost();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<XvfbServer> m_server;
    QProcess m_trayHost;
};

void tst_Desktop::init()
{
    for (const QString &tool :
         {QStringLiteral("Xvfb"), QStringLiteral("xdpyinfo"), QStringLiteral("dbus-run-session"),
          QStringLiteral("xdotool"), QStringLiteral("xwininfo")}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + QStringLiteral(" is not installed "
                                                   "(scripts/install-dependencies installs it)")));
    }
    QProcess probe;
    probe.start(Python, {QStringLiteral("-c"), QStringLiteral("import pyatspi")});
    if (!probe.waitForFinished() || probe.exitCode() != 0)
        QSKIP("python3-pyatspi is not installed (scripts/install-dependencies installs it)");

    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_server = std::make_unique<XvfbServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->failure()));
}

void tst_Desktop::cleanup()
{
    stopProcess(m_trayHost);
    m_server.reset();
    m_dir.reset();
}

void tst_Desktop::check(const QString &mode, const QStringList &extra)
{
    // One user of our own: settings with existing folders, so the window
    // opens without a folder question.
    QProcessEnvironment environment = m_server->userEnvironment(m_dir->path());
    const QString buffer = m_dir->filePath(QStringLiteral("buffer"));
    const QString radio = m_dir->filePath(QStringLiteral("mp3"));
    for (const QString &folder : {buffer, radio})
        QVERIFY(QDir().mkpath(folder));
    Settings settings(environment.value(QStringLiteral("XDG_CONFIG_HOME")) +
                      QStringLiteral("/TAVRIX/TAVRIX.conf"));
    settings.setBufferPath(buffer + QLatin1Char('/'));
    settings.setRadioPath(radio + QLatin1Char('/'));
    settings.setLastUsed(RecentStation);
    QVERIFY(settings.sync());

    // Qt talks to the accessibility bus even without a running screen reader.
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));

    QProcess run;
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("dbus-run-session"),
              QStringList{QStringLiteral("--"), Python, Script, mode, Program} + extra);
    QVERIFY(run.waitForStarted());
    if (!run.waitForFinished(120000)) {
        stopProcess(run);
        QFAIL("desktop_check.py did not finish within two minutes");
    }
    QString report = QString::fromLocal8Bit(run.readAll());
    qInfo().noquote() << report;
    if (run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0 ||
        report.contains(QStringLiteral("MISSING")))
        report += QStringLiteral("\nX server log:\n") + m_server->log();
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QVERIFY2(run.exitCode() == 0, qPrintable(report));
    QVERIFY2(!report.contains(QStringLiteral("MISSING")), qPrintable(report));
}

bool tst_Desktop::startTrayHost()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_server->display());
    m_trayHost.setProcessEnvironment(environment);
    m_trayHost.start(QStringLiteral("trayer"),
                     {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                      QStringLiteral("right"), QStringLiteral("--widthtype"),
                      QStringLiteral("request"), QStringLiteral("--height"), QStringLiteral("32")});
    return m_trayHost.waitForStarted();
}

void tst_Desktop::screenReaderReadsTheMainWindow()
{
    // The drop-down lists read their current entries as a screen reader does.
    check(QStringLiteral("tree"), {QStringLiteral("Recently used stations list:=") +
                                       RecentStations::PresetStations[RecentStation].title,
                                   QStringLiteral("Custom prebuffering size=") +
                                       QString::fromLatin1(BufferModes::CustomSizes[0].text)});
}

void tst_Desktop::trayIconInARealTray()
{
    if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
        QSKIP("trayer is not installed (scripts/install-dependencies installs it)");
    QVERIFY(startTrayHost());
    QStringList extra;
    const QString shots = qEnvironmentVariable("TAVRIX_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        extra << shots + QStringLiteral("/screenshot-tray.png");
    check(QStringLiteral("tray"), extra);
    QCOMPARE(m_trayHost.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(tst_Desktop)
#include "tst_desktop.moc"
