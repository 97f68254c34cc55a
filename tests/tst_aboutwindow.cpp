// The About window: its load, the memory line kept fresh by its timer, the
// links, and its life: loaded once, hidden by "OK", destroyed by the close
// box and created again by the next "About...".

#include "TestSupport.h"
#include "ui/Links.h"
#include "ui/VersionCaption.h"
#include "ui/StringResources.h"
#include "ui/ClickableLabel.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"

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
    window.cmdAbout_Click();
    QVERIFY(ran);
}

} // namespace

class tst_AboutWindow : public QObject
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

void tst_AboutWindow::layoutAndLoad()
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

    QCOMPARE(about.lblVersion->text(), VersionCaption());
    QCOMPARE(about.lblCopy->text(), stringResource(1));
    QCOMPARE(about.lblCorvath->text(), stringResource(2));
    QCOMPARE(about.lblTitle->text(), QStringLiteral("Tavrix"));
    QCOMPARE(about.lblFor->text(), QStringLiteral("For GTA III / Vice City"));
    QCOMPARE(about.lblWebsite->text(), QStringLiteral("Tavrix website"));
    QCOMPARE(about.lblOribel->text(), Links::makerHomePageShort());

    // Design places (twips / 15); labels grow to their texts from there.
    const struct
    {
        QWidget *control;
        QPoint topLeft;
    } places[] = {
        {about.piTop, {0, 0}},         {about.lblTitle, {96, 88}},    {about.imgIcon, {32, 96}},
        {about.lblVersion, {96, 104}}, {about.lblFor, {96, 120}},     {about.lblCopy, {96, 136}},
        {about.lblFree, {96, 152}},    {about.lblWebsite, {96, 168}}, {about.lblVisit, {96, 192}},
        {about.lblOribel, {96, 208}},  {about.lblMemo, {96, 280}},
    };
    for (const auto &place : places) {
        QCOMPARE(place.control->pos(), place.topLeft);
        if (auto *label = qobject_cast<QLabel *>(place.control); label && label->pixmap().isNull())
            QCOMPARE(label->width(), label->sizeHint().width());
    }
    QCOMPARE(about.piTop->size(), QSize(412, 80));
    QVERIFY(!about.piTop->pixmap().isNull());
    QVERIFY(!about.imgIcon->pixmap().isNull());
    QCOMPARE(about.cmdOK->geometry(), QRect(328, 304, 76, 23));
    QVERIFY(about.cmdOK->isDefault());

    // The author's name follows the notice on its line without covering it.
    QCOMPARE(about.lblCorvath->y(), about.lblCopy->y());
    QVERIFY(about.lblCorvath->x() >= 216);
    QVERIFY(about.lblCorvath->x() > about.lblCopy->geometry().right());
}

void tst_AboutWindow::memoryLineFollowsTimer()
{
    TestServices test;
    QWidget owner;
    frmAbout about(test.services(), &owner);

    QVERIFY(about.tmrMemo()->isActive());
    QCOMPARE(about.tmrMemo()->interval(), 1000);

    // The timer rewrites the line whether the window is shown or not.
    about.lblMemo->setText(QStringLiteral("stale"));
    QTRY_VERIFY_WITH_TIMEOUT(about.lblMemo->text() != QLatin1String("stale"), 3000);
    QCOMPARE(about.lblMemo->width(), about.lblMemo->sizeHint().width());
}

void tst_AboutWindow::links_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target");

    QTest::newRow("banner") << "piTop" << Links::productPage();
    QTest::newRow("website") << "lblWebsite" << Links::productPage();
    QTest::newRow("maker") << "lblOribel" << Links::makerHomePage();
    QTest::newRow("author") << "lblCorvath" << Links::authorMail();
}

void tst_AboutWindow::links()
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

void tst_AboutWindow::okAndKeysOnlyHide_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("OK button") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void tst_AboutWindow::okAndKeysOnlyHide()
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

void tst_AboutWindow::loadedOnceUntilClosedByCloseBox()
{
    TemporarySettingsLocation settings;
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
        QCOMPARE(about->lblVersion->text(), VersionCaption());
        QTest::keyClick(about, Qt::Key_Escape);
    });
    QVERIFY(window.aboutWindow());
    QVERIFY(window.aboutWindow()->isHidden());
}

QTEST_MAIN(tst_AboutWindow)
#include "tst_aboutwindow.moc"
