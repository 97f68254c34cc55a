// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile input as the main window meets it: a station's texts full of
// markup, and a settings file that is garbage. The session's own hostile
// stations (slow, random, huge, cut off, reset, disk full) are tested without
// a window in tst_streamsession.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "ui/ClickableLabel.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

class HostileStationsTest : public QObject
{
    Q_OBJECT

private slots:
    void markupInStationTexts();
    void malformedSettings();
};

void HostileStationsTest::markupInStationTexts()
{
    // A station calling itself "<b>x</b>" is shown exactly so, tags and all,
    // in its labels and in the recent list.
    const QByteArray markup = "<b>x</b><img src=\"/etc/passwd\">";
    MainWindowSession session;
    ScriptedStation station;
    station.chunks = {icyHeader("N" + markup, "G" + markup, "U" + markup, "128" + markup),
                      audioBytes(1024)};
    session.start(station.address());
    QTRY_VERIFY(session.get<QPushButton>("cmdStart")->isEnabled());

    const QString text = QString::fromLatin1(markup);
    const struct
    {
        const char *name;
        QString shown;
    } labels[] = {
        {"lblServerName", QStringLiteral("Name: N") + text},
        {"lblGenre", QStringLiteral("Genre: G") + text},
        {"lblURL", QStringLiteral("URL: U") + text},
        {"lblBitrate", QStringLiteral("Bitrate: 128") + text + QStringLiteral(" Kbps")},
    };
    for (const auto &label : labels) {
        auto *shown = session.get<QLabel>(label.name);
        QCOMPARE(shown->text(), label.shown);
        QCOMPARE(shown->textFormat(), Qt::PlainText);
    }
    auto *list = session.get<QComboBox>("cmbRecent");
    QCOMPARE(list->itemText(list->count() - 1), QStringLiteral("N") + text +
                                                    QStringLiteral(" [128") + text +
                                                    QStringLiteral(" Kbps]"));
    QCOMPARE(session.get<QLabel>("lblStatus")->textFormat(), Qt::PlainText);
    QCOMPARE(session.get<QLabel>("lblWelcome")->textFormat(), Qt::PlainText);
}

void HostileStationsTest::malformedSettings()
{
    TestServices services;
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &c : garbage)
        c = char(generator.bounded(256));
    garbage.prepend("[Recent]\nRecentRadio0=" + QByteArray(300 * 1024, 'T') +
                    "\nRecentRadioURL0=very.long.example:8000\n"
                    "RecentRadio1=Радио Ünïcode [128 Kbps]\nRecentRadioURL1=ünï.example:8000\n"
                    "LastUsed=@Variant(\\0\\0\\0\\x7f\\0\\0\\0)\n[Settings\nBufferPath");
    writeFile(services.location.configFile(), garbage);

    frmMain window(services.services());
    auto *list = control<QComboBox>(window, "cmbRecent");
    QVERIFY(list->count() >= 4);
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(control<QLineEdit>(window, "txtBufferPath")->text(),
             QDir::toNativeSeparators(services.location.defaultBufferFolder()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

QTEST_MAIN(HostileStationsTest)
#include "tst_hostilestations.moc"
