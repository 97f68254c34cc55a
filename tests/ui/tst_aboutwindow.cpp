// SPDX-License-Identifier: GPL-3.0-or-later
// The About window: its load, the memory line kept fresh by its timer, the
// links, and its life: loaded once, hidden by "OK", destroyed by the close
// box and created again by the next "About...".

#include "TestServices.h"
#include "WindowControls.h"
#include "WindowLayout.h"
#include "ui/ClickableLabel.h"
#include "ui/Links.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"
#include "util/Version.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// Clicks "About..." and runs `whileShown` once the About window's modal loop
// is running. A window that `whileShown` leaves open is hidden, so that a
// failing check cannot leave the test waiting.
void openAbout(frmMain &window, const std::function<void(frmAbout *)> &whileShown)
{
    bool ran = false;
    QTimer::singleShot(0, &window, [&] {
        if (frmAbout *about = window.aboutWindow()) {
            whileShown(about);
            ran = true;
        }
        if (frmAbout *about = window.aboutWindow(); about && about->isVisible())
            about->hide();
    });
    control<QPushButton>(window, "cmdAbout")->click();
    QVERIFY(ran);
}

} // namespace

class AboutWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndLoad();
    void memoryLineFollowsTimer();
    void links_data();
    void links();
    void okAndKeysOnlyHide_data();
    void okAndKeysOnlyHide();
    void loadedOnceUntilClosedByCloseBox();
};

void AboutWindowTest::layoutAndLoad()
{
    TestServices test;
    QWidget owner;
    frmAbout about(test.services(), &owner);

    QCOMPARE(about.windowTitle(), QStringLiteral("About..."));
    QCOMPARE(about.size(), QSize(411, 335));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QCOMPARE(about.parentWidget(), &owner);
    QVERIFY(!(about.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(about.windowFlags() & Qt::WindowMaximizeButtonHint));

    QCOMPARE(about.lblVersion->text(), QStringLiteral("Version %1.%2.%3")
                                           .arg(TAVRIX_VERSION_MAJOR)
                                           .arg(TAVRIX_VERSION_MINOR)
                                           .arg(TAVRIX_VERSION_PATCH));
    QCOMPARE(about.lblTitle->text(), QStringLiteral("Tavrix"));
    for (const QLabel *label :
         {about.lblFor, about.lblCopy, static_cast<QLabel *>(about.lblCorvath), about.lblVisit,
          static_cast<QLabel *>(about.lblWebsite), static_cast<QLabel *>(about.lblOribel)})
        QVERIFY2(!label->text().isEmpty(), qPrintable(label->objectName()));

    // Labels grow to their texts from their design places; nothing covers
    // anything else, except the banner, which the design lets run a pixel
    // past the window.
    const QStringList faults = layoutFaults(about, {{"piTop", "frmAbout"}});
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    QCOMPARE(about.piTop->geometry(), QRect(0, 0, 412, 80));
    QVERIFY(!about.piTop->pixmap().isNull());
    QVERIFY(!about.imgIcon->pixmap().isNull());
    QCOMPARE(about.cmdOK->geometry(), QRect(328, 304, 76, 23));
    QVERIFY(about.cmdOK->isDefault());

    // The author's name follows the notice on its line without covering it.
    QCOMPARE(about.lblCorvath->y(), about.lblCopy->y());
    QVERIFY(about.lblCorvath->x() >= 216);
    QVERIFY(about.lblCorvath->x() > about.lblCopy->geometry().right());
}

void AboutWindowTest::memoryLineFollowsTimer()
{
    TestServices test;
    QWidget owner;
    frmAbout about(test.services(), &owner);

    QVERIFY(about.tmrMemo()->isActive());

    // The timer rewrites the line whether the window is shown or not.
    about.lblMemo->setText(QStringLiteral("stale"));
    QTRY_VERIFY_WITH_TIMEOUT(about.lblMemo->text() != QLatin1String("stale"), 3000);
    QCOMPARE(about.lblMemo->width(), about.lblMemo->sizeHint().width());
}

void AboutWindowTest::links_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target");

    QTest::newRow("banner") << "piTop" << Links::productPage();
    QTest::newRow("website") << "lblWebsite" << Links::productPage();
    QTest::newRow("maker") << "lblOribel" << Links::makerHomePage();
    QTest::newRow("author") << "lblCorvath" << Links::authorMail();
}

void AboutWindowTest::links()
{
    QFETCH(QString, name);
    QFETCH(QString, target);

    TestServices test;
    QWidget owner;
    frmAbout about(test.services(), &owner);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    auto *link = about.findChild<ClickableLabel *>(name);
    QVERIFY(link);
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(test.shell.documents, QStringList{target});
    QVERIFY(about.isVisible());

    if (name != QLatin1String("piTop")) {
        QCOMPARE(link->textColour(), QColor(0, 0, 192));
        QVERIFY(link->font().underline());
    }
    if (name == QLatin1String("lblCorvath"))
        QVERIFY(target.startsWith(QLatin1String("mailto:")) &&
                target.endsWith(QLatin1String("?subject=Tavrix:")));
}

void AboutWindowTest::okAndKeysOnlyHide_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("OK button") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void AboutWindowTest::okAndKeysOnlyHide()
{
    QFETCH(int, key);

    TestServices test;
    QWidget owner;
    QPointer<frmAbout> about = new frmAbout(test.services(), &owner);
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about.data()));

    if (key == 0)
        QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    else
        QTest::keyClick(about.data(), Qt::Key(key));

    QVERIFY(about);
    QVERIFY(about->isHidden());
    QTest::qWait(0);
    QVERIFY(about);
    QVERIFY(about->tmrMemo()->isActive());
}

void AboutWindowTest::loadedOnceUntilClosedByCloseBox()
{
    TestServices test;
    frmMain window(test.services());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.aboutWindow());

    QPointer<frmAbout> first;
    openAbout(window, [&](frmAbout *about) {
        first = about;
        QVERIFY(about->isVisible());
        QVERIFY(about->isModal());
        const QPoint offset = about->geometry().center() - window.geometry().center();
        QVERIFY(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1);
        // A caption the load step would overwrite.
        about->lblVersion->setText(QStringLiteral("marker"));
        QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    });
    QVERIFY(first);
    QVERIFY(first->isHidden());

    // The second opening shows the same window without loading it again.
    openAbout(window, [&](frmAbout *about) {
        QCOMPARE(about, first.data());
        QCOMPARE(about->lblVersion->text(), QStringLiteral("marker"));
        QVERIFY(about->isVisible());
        about->close();
    });

    // The close box unloaded it: the next opening loads a new one.
    QTRY_VERIFY(!first);
    QVERIFY(!window.aboutWindow());
    openAbout(window, [&](frmAbout *about) {
        QCOMPARE(about->lblVersion->text(), control<QLabel>(window, "lblVersion")->text());
        QTest::keyClick(about, Qt::Key_Escape);
    });
    QVERIFY(window.aboutWindow());
    QVERIFY(window.aboutWindow()->isHidden());
}

QTEST_MAIN(AboutWindowTest)
#include "tst_aboutwindow.moc"
