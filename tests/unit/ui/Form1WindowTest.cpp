#include "ui/Form1Window.h"

#include "common/Errors.h"
#include "common/EventHandler.h"
#include "modem/ModemBrowser.h"
#include "support/Form1Rig.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tolvane;

namespace {

// Form1 with the real window as its view; the rest as in the shared rig.
struct WindowRig {
    test::Form1Rig services;
    Form1Window window{services.browser};
    Form1 form{services.services(), window};

    WindowRig()
    {
        window.attach(form);
        form.Show();
    }
    template <typename T = QWidget> T* control(const char* name) const
    {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
};

// Saves what the window shows where TOLVANE_SCREENSHOTS names a folder, for a person to look at.
void screenshot(QWidget& window, const char* name)
{
    const QString folder = qEnvironmentVariable("TOLVANE_SCREENSHOTS");
    if (!folder.isEmpty() && QDir().mkpath(folder))
        window.grab().save(folder + "/" + name + ".png");
}

} // namespace

class Form1WindowTest : public QObject {
    Q_OBJECT

private slots:
    void loadedWindow_isLaidOutInTwipsAroundTheLogo()
    {
        WindowRig rig;
        QVERIFY(rig.window.isVisible());
        QCOMPARE(rig.window.windowTitle(), "Tolvane ver 0.42 Ver 0.51");
        // 96 dots per inch: 15 twips a pixel. The client area is the outer size less the
        // borders and the caption bar.
        QCOMPARE(rig.window.size(), QSize(qRound(7855 / 15.0), qRound(2980 / 15.0)));
        auto* logo = rig.control<QLabel>("Image1");
        QVERIFY(!logo->pixmap().isNull());
        QCOMPARE(logo->geometry(), QRect(qRound(3147.5 / 15), qRound(100 / 15.0), 112, 21));
        QCOMPARE(rig.control("Frame1")->geometry(),
                 QRect(120 / 15, qRound(415 / 15.0), 7575 / 15, 2415 / 15));
        QVERIFY(!rig.control("Frame2")->isVisible());
        QVERIFY(!rig.control("ProgressLab")->isVisible());
        QCOMPARE(rig.control<QPushButton>("Command2")->text(), " Exit");
        QVERIFY(rig.control<QLabel>("Label1")->text().contains("\n (You need IE Version 5"));
        QVERIFY(rig.control<QLabel>("Label1")->font().pointSizeF() > 8.0);
        screenshot(rig.window, "form1-idle");
    }

    void passwordBox_hidesWhatIsTypedAndHandsItToTheForm()
    {
        WindowRig rig;
        auto* box = rig.control<QLineEdit>("txtPassword");
        QCOMPARE(box->echoMode(), QLineEdit::Password);
        QTest::keyClicks(box, "s3cret");
        QCOMPARE(rig.form.control(Control::txtPassword).caption, "s3cret");
    }

    void exitButton_removesTheFilesAndEndsTheProgram()
    {
        WindowRig rig;
        const QString work = rig.services.dir.filePath("C:\\TFWU");
        QVERIFY(QFileInfo::exists(work + "/42.bin"));
        QTest::mouseClick(rig.control<QPushButton>("Command2"), Qt::LeftButton);
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, RethrowPendingEnd());
        QVERIFY(!QFileInfo::exists(work));
    }
};

QTEST_MAIN(Form1WindowTest)
#include "Form1WindowTest.moc"
