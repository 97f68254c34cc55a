// SPDX-License-Identifier: GPL-3.0-or-later
// The main window by keyboard alone: the focus through a stream's states,
// Enter in the address box, the "Find..." link in the Tab order, Exit.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "WindowControls.h"
#include "ui/ClickableLabel.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// A key as a user presses it: to whatever has the keyboard focus.
void press(QWidget *window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::focusWidget();
    QTest::keyClick(target ? target : window, key, modifiers);
}

void activate(frmMain &window)
{
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class KeyboardTest : public QObject
{
    Q_OBJECT

private slots:
    void startByKeyKeepsFocusOnStart_data();
    void startByKeyKeepsFocusOnStart();
    void findLinkInTabOrder();
    void exitEndsAtOnce();
};

void KeyboardTest::startByKeyKeepsFocusOnStart_data()
{
    QTest::addColumn<bool>("fromAddress");
    QTest::newRow("Space on Start Buffering") << false;
    QTest::newRow("Enter in the address box") << true;
}

void KeyboardTest::startByKeyKeepsFocusOnStart()
{
    QFETCH(bool, fromAddress);
    MainWindowSession session;
    ScriptedStation station;
    frmMain &w = *session.window;
    activate(w);
    auto *start = control<QPushButton>(w, "cmdStart");
    auto *address = control<QLineEdit>(w, "txtURL");
    QSignalSpy unloaded(&w, &frmMain::unloaded);
    if (fromAddress) {
        address->clear();
        address->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(address, QStringLiteral("http://") + station.address());
        press(&w, Qt::Key_Return);
    } else {
        address->setText(QStringLiteral("http://") + station.address());
        start->setFocus(Qt::TabFocusReason);
        press(&w, Qt::Key_Space);
    }
    QCOMPARE(control<QLabel>(w, "lblStatus")->text(),
             QStringLiteral("Connecting to ") + station.address() + QStringLiteral("..."));
    QCOMPARE(start->text(), QStringLiteral("Cancel"));
    QVERIFY(!start->isEnabled());
    QVERIFY(QApplication::focusWidget() != control<QPushButton>(w, "cmdExit"));
    QTRY_VERIFY(station.hasClient());

    // A Space while connecting neither quits nor cancels.
    press(&w, Qt::Key_Space);
    QVERIFY(w.isVisible());
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(start->text(), QStringLiteral("Cancel"));

    // Once the station answers, "Cancel" has the focus, ready for Space.
    station.send(icyHeader("Keys FM", "Pop", "http://keys.example", "32"));
    QTRY_VERIFY(start->isEnabled());
    QCOMPARE(QApplication::focusWidget(), start);

    // The station closes before any audio: the session is over and
    // "Start Buffering" keeps the focus.
    station.closeClient();
    QTRY_VERIFY(control<QLabel>(w, "lblStatus")->text().contains(QStringLiteral("closed")));
    QCOMPARE(start->text(), QStringLiteral("Start Buffering"));
    QCOMPARE(QApplication::focusWidget(), start);
    QCOMPARE(unloaded.count(), 0);
}

void KeyboardTest::findLinkInTabOrder()
{
    MainWindowSession session;
    frmMain &w = *session.window;
    activate(w);
    auto *address = control<QLineEdit>(w, "txtURL");
    auto *find = control<ClickableLabel>(w, "lblFind");
    address->setFocus(Qt::TabFocusReason);

    press(&w, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), find);
    // Enter and Space each open the station search.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        find->setFocus(Qt::TabFocusReason);
        press(&w, key);
        auto *search = w.findChild<QDialog *>(QStringLiteral("frmFind"));
        QVERIFY(search);
        QTRY_VERIFY(search->isVisible());
        search->hide();
    }

    // The rest of the order is as before.
    press(&w, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), control<QLineEdit>(w, "txtBufferPath"));
    press(&w, Qt::Key_Backtab, Qt::ShiftModifier);
    press(&w, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), address);
    control<QPushButton>(w, "cmdStart")->setFocus(Qt::TabFocusReason);
    press(&w, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>(w, "cmdExit"));
}

void KeyboardTest::exitEndsAtOnce()
{
    MainWindowSession session;
    ScriptedStation station;
    frmMain &w = *session.window;
    activate(w);
    QSignalSpy unloaded(&w, &frmMain::unloaded);
    station.chunks = {icyHeader("Exit FM", "Pop", "http://exit.example", "32")};
    session.start(QStringLiteral("http://") + station.address());
    QTRY_VERIFY(control<QPushButton>(w, "cmdStart")->isEnabled());

    control<QPushButton>(w, "cmdExit")->setFocus(Qt::TabFocusReason);
    press(&w, Qt::Key_Space);
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
