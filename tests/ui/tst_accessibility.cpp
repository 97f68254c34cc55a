// SPDX-License-Identifier: GPL-3.0-or-later
// What assistive tools and other palettes get from the main window: names and
// roles through Qt's accessibility interface, the progress value, link
// colours and the bitrate warning readable on light and dark backgrounds, the
// last played station after a restart and the recent list leaving typed text
// alone. With TAVRIX_SCREENSHOT_DIR set, the light and dark windows are saved
// there as pictures for review.

#include "MainWindowSession.h"
#include "ScriptedStation.h"
#include "WindowControls.h"
#include "ui/ClickableLabel.h"
#include "ui/ColourContrast.h"
#include "ui/Resources.h"
#include "ui/TrayIcon.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTest>

namespace {

QAccessibleInterface *accessible(QWidget *widget)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    if (!iface)
        qFatal("No accessible interface for %s", qPrintable(widget->objectName()));
    return iface;
}

QString accessibleName(QWidget *widget)
{
    return accessible(widget)->text(QAccessible::Name);
}

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Light, QColor(0x55, 0x55, 0x55));
    dark.setColor(QPalette::Mid, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Dark, QColor(0x15, 0x15, 0x15));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    // A theme whose own link colour is too dark for its background.
    dark.setColor(QPalette::Link, QColor(0x20, 0x20, 0x90));
    return dark;
}

void saveScreenshot(QWidget &window, const QString &name)
{
    const QString folder = qEnvironmentVariable("TAVRIX_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        QVERIFY(window.grab().save(folder + QLatin1Char('/') + name));
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private slots:
    void contrastMeasure();
    void namesAndRoles();
    void progressValue();
    void coloursReadable_data();
    void coloursReadable();
    void lastStationAfterRestart();
    void recentListLeavesTypedAddress();
    void trayIcon();
    void imagesForBothDensities();
};

void AccessibilityTest::contrastMeasure()
{
    using namespace ColourContrast;
    QCOMPARE(qRound(ratio(Qt::black, Qt::white)), 21);
    QCOMPARE(ratio(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1.0);
    // The light look's link colour on the light grey background.
    QVERIFY(ratio(QColor(0, 0, 192), QColor(0xef, 0xef, 0xef)) > 10.0);
    // Pure red on light grey is under the minimum, which is why it is adjusted.
    QVERIFY(ratio(QColor(255, 0, 0), QColor(0xef, 0xef, 0xef)) < MinimumTextRatio);

    // Whatever the background, the adjusted colour reads, and a colour that
    // already reads is kept.
    for (int grey = 0; grey <= 255; grey += 15) {
        const QColor background(grey, grey, grey);
        for (const QColor &preferred : {QColor(0, 0, 192), QColor(255, 0, 0), QColor(0, 0, 255)}) {
            const QColor chosen = readableOn(preferred, background);
            QVERIFY2(ratio(chosen, background) >= MinimumTextRatio,
                     qPrintable(background.name() + QLatin1Char(' ') + preferred.name()));
            if (ratio(preferred, background) >= MinimumTextRatio)
                QCOMPARE(chosen, preferred);
        }
    }
}

void AccessibilityTest::namesAndRoles()
{
    MainWindowSession session;
    frmMain &w = *session.window;

    QCOMPARE(accessible(&w)->role(), QAccessible::Window);
    QCOMPARE(accessibleName(&w), QStringLiteral("Tavrix"));

    QCOMPARE(accessibleName(control<QLineEdit>(w, "txtURL")),
             QStringLiteral("Full URL of the radio to play:"));
    QCOMPARE(accessibleName(control<QLineEdit>(w, "txtBufferPath")),
             QStringLiteral("Temporary files location:"));
    QCOMPARE(accessibleName(control<QLineEdit>(w, "txtRadioPath")), QStringLiteral("MP3s folder:"));
    QCOMPARE(accessibleName(control<QPushButton>(w, "cmdTemporary")),
             QStringLiteral("Choose the temporary files folder"));
    QCOMPARE(accessibleName(control<QPushButton>(w, "cmdGTAfolder")),
             QStringLiteral("Choose the GTA MP3s folder"));

    // Drop-down lists are named after what they are, not their current entry,
    // which is their value; the popup list is their child and opens on "press".
    auto *recent = control<QComboBox>(w, "cmbRecent");
    QAccessibleInterface *list = accessible(recent);
    QCOMPARE(list->role(), QAccessible::ComboBox);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Recently used stations list:"));
    QCOMPARE(list->text(QAccessible::Value), recent->currentText());
    QVERIFY(!recent->currentText().isEmpty());
    const auto labels = list->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->object(), control<QLabel>(w, "lblRecent"));
    QCOMPARE(list->childCount(), 1);
    QCOMPARE(list->child(0)->object(), recent->view());
    QCOMPARE(list->indexOfChild(list->child(0)), 0);
    QCOMPARE(list->child(0)->childCount(), recent->count());
    // Screen readers on Linux read the current entry as the list's text and
    // as the selected item of the popup's list; both follow a new entry.
    recent->setCurrentIndex(1);
    QCOMPARE(list->textInterface()->text(0, -1), recent->itemText(1));
    QVERIFY(list->child(0)->child(1)->state().selected);
    QVERIFY(!list->child(0)->child(0)->state().selected);
    list->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(recent->view()->isVisible());
    list->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(!recent->view()->isVisible());
    QCOMPARE(accessibleName(control<QComboBox>(w, "cmbBuffer")),
             QStringLiteral("Custom prebuffering size"));

    // "Find..." is a link that can be pressed.
    auto *find = control<ClickableLabel>(w, "lblFind");
    QAccessibleInterface *link = accessible(find);
    QCOMPARE(link->role(), QAccessible::Link);
    QCOMPARE(link->text(QAccessible::Name), QStringLiteral("Find..."));
    QAccessibleActionInterface *actions = link->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(w.findChild<QDialog *>(QStringLiteral("frmFind")));
    QVERIFY(w.findChild<QDialog *>(QStringLiteral("frmFind"))->isVisible());

    // Every control that takes the focus is named.
    const QList<QWidget *> children = w.findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->focusPolicy() != Qt::NoFocus && child->isVisibleTo(&w))
            QVERIFY2(!accessibleName(child).isEmpty(), qPrintable(child->objectName()));
    }
}

void AccessibilityTest::progressValue()
{
    MainWindowSession session;
    ScriptedStation station;
    frmMain &w = *session.window;
    auto *strip = control<QFrame>(w, "picStatusBar");
    QAccessibleInterface *bar = accessible(strip);
    QCOMPARE(bar->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface *value = bar->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->minimumValue().toInt(), 0);
    QCOMPARE(value->maximumValue().toInt(), 100);
    QCOMPARE(value->currentValue().toInt(), 0);
    // The bar drawn inside is not a nameless child of its own.
    QCOMPARE(bar->childCount(), 0);

    // 56K mode: 256 KB files; half a file written is about half the bar.
    station.chunks = {icyHeader("Half FM", "Pop", "http://half.example", "32"),
                      audioBytes(128 * 1024)};
    session.start(QStringLiteral("http://") + station.address());
    QTRY_VERIFY(value->currentValue().toInt() >= 49);
    QVERIFY(value->currentValue().toInt() <= 51);
    QCOMPARE(bar->text(QAccessible::Value), value->currentValue().toString() + QLatin1Char('%'));
}

void AccessibilityTest::coloursReadable_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("default palette") << false;
    QTest::newRow("dark palette") << true;
}

void AccessibilityTest::coloursReadable()
{
    QFETCH(bool, dark);
    const QPalette before = QApplication::palette();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });

    MainWindowSession session;
    ScriptedStation station;
    frmMain &w = *session.window;
    const QColor background = w.palette().color(QPalette::Window);
    auto *find = control<ClickableLabel>(w, "lblFind");
    using ColourContrast::MinimumTextRatio;
    using ColourContrast::ratio;
    QVERIFY(ratio(find->textColour(), background) >= MinimumTextRatio);
    QVERIFY(ratio(find->hoverColour(), background) >= MinimumTextRatio);
    QVERIFY(find->hoverColour() != find->linkColour());
    if (!dark)
        QCOMPARE(find->textColour(), QColor(0, 0, 192));

    // A high bitrate turns the bitrate line into a readable warning that
    // still opens its explanation.
    station.chunks = {icyHeader("Loud FM", "Rock", "http://loud.example", "192"), audioBytes(1024)};
    session.start(QStringLiteral("http://") + station.address());
    auto *bitrate = control<ClickableLabel>(w, "lblBitrate");
    QTRY_VERIFY(bitrate->text().contains(QStringLiteral("192")));
    QVERIFY(ratio(bitrate->textColour(), background) >= MinimumTextRatio);
    QVERIFY(bitrate->textColour().red() > 2 * bitrate->textColour().green());
    QTest::mouseClick(bitrate, Qt::LeftButton);
    QCOMPARE(session.services.dialogs.messages.size(), 1);
    QVERIFY(session.services.dialogs.messages.first().text.contains(QStringLiteral("at least")));

    saveScreenshot(w, dark ? QStringLiteral("screenshot-main-dark.png")
                           : QStringLiteral("screenshot-main.png"));
}

void AccessibilityTest::lastStationAfterRestart()
{
    MainWindowSession session;
    ScriptedStation station;
    const QString address = QStringLiteral("http://") + station.address();
    station.chunks = {icyHeader("Typed FM", "Pop", "http://typed.example", "32"), audioBytes(1024)};
    session.start(address);
    auto *start = control<QPushButton>(*session.window, "cmdStart");
    QTRY_VERIFY(start->isEnabled());
    auto *recent = control<QComboBox>(*session.window, "cmbRecent");
    const int slot = recent->count() - 1;
    QCOMPARE(recent->itemText(slot), QStringLiteral("Typed FM [32 Kbps]"));
    QCOMPARE(recent->currentIndex(), slot);
    // The selection did not touch the address box.
    QCOMPARE(control<QLineEdit>(*session.window, "txtURL")->text(), address);
    session.window->close();
    session.window.reset();

    frmMain again(session.services.services());
    QCOMPARE(control<QLineEdit>(again, "txtURL")->text(), address);
    QCOMPARE(control<QComboBox>(again, "cmbRecent")->currentIndex(), slot);
    again.close();
}

void AccessibilityTest::recentListLeavesTypedAddress()
{
    MainWindowSession session;
    frmMain &w = *session.window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *address = control<QLineEdit>(w, "txtURL");
    auto *recent = control<QComboBox>(w, "cmbRecent");
    address->setText(QStringLiteral("http://127.0.0.1:8000/typed"));

    // Visiting and opening the list copies nothing.
    recent->setFocus(Qt::TabFocusReason);
    recent->showPopup();
    QTest::qWait(300);
    recent->hidePopup();
    QTest::qWait(300);
    QCOMPARE(address->text(), QStringLiteral("http://127.0.0.1:8000/typed"));

    // Choosing an entry copies its address.
    const int before = recent->currentIndex();
    QTest::keyClick(recent, Qt::Key_Down);
    QVERIFY(recent->currentIndex() != before);
    QCOMPARE(address->text(), RecentStations::PresetStations[size_t(recent->currentIndex())].url);
}

void AccessibilityTest::trayIcon()
{
    QWidget window;
    TrayIcon tray(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    tray.setStatus(QStringLiteral("http://127.0.0.1:8000"), QStringLiteral("Buffering"));
    QCOMPARE(tray.toolTip(), QStringLiteral("Tavrix\nhttp://127.0.0.1:8000\nBuffering"));
    tray.setStatus(QString(), QStringLiteral("Streaming not activated."));
    QCOMPARE(tray.toolTip(), QStringLiteral("Tavrix\nStreaming not activated."));

    tray.setStartAction(QStringLiteral("Cancel"), false);
    QCOMPARE(tray.startAction()->text(), QStringLiteral("Cancel"));
    QVERIFY(!tray.startAction()->isEnabled());

    // Show/Hide acts on the window; Exit and Start are the owner's to answer.
    tray.showHideAction()->trigger();
    QVERIFY(window.isHidden());
    QCOMPARE(tray.showHideAction()->text(), QStringLiteral("Show"));
    tray.showHideAction()->trigger();
    QVERIFY(window.isVisible());
    QCOMPARE(tray.showHideAction()->text(), QStringLiteral("Hide"));
    QSignalSpy exits(&tray, &TrayIcon::exitRequested);
    QSignalSpy starts(&tray, &TrayIcon::startRequested);
    tray.exitAction()->trigger();
    tray.startAction()->setEnabled(true);
    tray.startAction()->trigger();
    QCOMPARE(exits.count(), 1);
    QCOMPARE(starts.count(), 1);

    // Notifications only while the icon is shown and the window is not.
    QVERIFY(!tray.notify(QStringLiteral("Tavrix"), QStringLiteral("hidden icon")));
    tray.show();
    QVERIFY(!tray.notify(QStringLiteral("Tavrix"), QStringLiteral("window shown")));
    window.hide();
    QVERIFY(tray.notify(QStringLiteral("Tavrix"), QStringLiteral("window hidden")));
}

void AccessibilityTest::imagesForBothDensities()
{
    for (const QString &name :
         {QStringLiteral(":/images/banner.png"), QStringLiteral(":/images/about-banner.png")}) {
        const QPixmap normal = imageForRatio(name, 1.0);
        const QPixmap sharp = imageForRatio(name, 2.0);
        QVERIFY(!normal.isNull());
        QCOMPARE(normal.devicePixelRatio(), 1.0);
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        QCOMPARE(sharp.size(), normal.size() * 2);
        QCOMPARE(sharp.deviceIndependentSize(), QSizeF(normal.size()));
    }
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
