#include "common/Pause.h"
#include "support/ScenarioRig.h"
#include "support/StandInModem.h"
#include "support/VirtualClock.h"
#include "ui/Form1Window.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tolvane;

namespace {

// Saves what the window shows where TOLVANE_SCREENSHOTS names a folder, for a person to look at.
void screenshot(QWidget& window, const QString& name)
{
    const QString folder = qEnvironmentVariable("TOLVANE_SCREENSHOTS");
    if (!folder.isEmpty() && QDir().mkpath(folder))
        window.grab().save(folder + "/" + name + ".png");
}

// The whole upgrade on the real window, with the real clipboard and keystroke, on test time.
struct WindowRig {
    test::ScenarioRig services;
    Form1Window window{services.browser};
    Form1 form{services.services(), window};
    test::VirtualClock clock;

    WindowRig()
    {
        window.attach(form);
        clock.setBusy([this] { return services.browser.isLoading(); });
        InstallPauseClock(&clock);
        form.Show();
    }
    ~WindowRig()
    {
        InstallPauseClock(nullptr);
        services.browser.closeConnections();
    }
    template <typename T = QWidget> T* control(const char* name) const
    {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
};

} // namespace

class UpgradeWindowTest : public QObject {
    Q_OBJECT

private slots:
    void upgrade_onScreen_showsPanelProgressAndOutcome()
    {
        test::StandInModem modem;
        WindowRig rig;
        rig.services.ipHelper.setAdapters(
            {{7, "Simulated LAN", "127.0.0.1", modem.address(), true}});
        rig.services.state.runOptions.Password = "wrong";

        // At every wait: answer the password panel once, and photograph the bar half full.
        bool panelSeen = false;
        bool halfSeen = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* box = rig.control<QLineEdit>("txtPassword");
            if (!panelSeen && rig.control("Frame2")->isVisible()) {
                panelSeen = true;
                QVERIFY(!rig.control("Frame1")->isVisible());
                QVERIFY(box->text().isEmpty());
                QCOMPARE(box->echoMode(), QLineEdit::Password);
                QTest::keyClicks(box, "admin");
                screenshot(rig.window, "form1-password-panel");
                QTest::mouseClick(rig.control<QPushButton>("Command3"), Qt::LeftButton);
            }
            auto* bar = rig.control("ProgressLab");
            const int track = rig.control("ProgressLabelback")->width();
            if (!halfSeen && bar->isVisible() && bar->width() >= track / 2) {
                halfSeen = true;
                QVERIFY(bar->width() - track / 2 <= 3); // one step of the bar is 2.88 pixels
                QVERIFY(!rig.control<QPushButton>("Command2")->isEnabled());
                screenshot(rig.window, "form1-progress-half");
            }
        });
        watch.start(0);

        rig.form.Command1_Click();
        watch.stop();

        QVERIFY(panelSeen);
        QVERIFY(halfSeen);
        QVERIFY(rig.control<QLabel>("Label1")->text().startsWith("Congratulations!!"));
        QVERIFY(!rig.control<QPushButton>("Command1")->isEnabled());
        QVERIFY(rig.control<QPushButton>("Command2")->isEnabled());
        QCOMPARE(rig.services.reported("Firmware_Status"), "Done");
        screenshot(rig.window, "form1-success");
    }
};

QTEST_MAIN(UpgradeWindowTest)
#include "UpgradeWindowTest.moc"
