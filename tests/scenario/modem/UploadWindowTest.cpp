#include "support/ScenarioRig.h"
#include "common/Pause.h"
#include "support/StandInModem.h"
#include "support/VirtualClock.h"
#include "ui/Form1Window.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QJsonArray>
#include <QtTest>

using namespace tolvane;

namespace {

// Form1 on the real window: the paste goes through the system clipboard and a Ctrl+V key event
// to the window's focused control, ModemBrowserWidget.
struct WindowRig {
    test::ScenarioRig services;
    Form1Window window{services.browser};
    Form1 form{services.services(), window};
    test::VirtualClock clock;

    explicit WindowRig(bool silent)
    {
        services.state.runOptions.Silent = silent;
        window.attach(form);
        clock.setBusy([this] { return services.browser.isLoading(); });
        InstallPauseClock(&clock);
        form.WorkFolder = services.form.WorkFolder;
        QDir().mkpath(QString::fromStdString(form.WorkFolder));
        form.writeWorkFiles();
    }
    ~WindowRig()
    {
        InstallPauseClock(nullptr);
        services.browser.closeConnections();
    }
};

} // namespace

class UploadWindowTest : public QObject {
    Q_OBJECT

private slots:
    void upload_pastesThePathWithARealKeystroke_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("interactive") << false;
        QTest::newRow("silent: shown for the paste only") << true;
    }
    void upload_pastesThePathWithARealKeystroke()
    {
        QFETCH(bool, silent);
        auto options = test::StandInModem::instantOptions();
        options.mode = modemsim::SimMode::Mini;
        test::StandInModem modem(options);
        WindowRig rig(silent);
        rig.form.ModemAddress = modem.address();
        rig.services.state.kernelMode = KernelMode::MiniKernel;
        rig.form.Firmware1();
        QGuiApplication::clipboard()->setText(QStringLiteral("what the user had copied"));

        rig.form.UpdateFirmware();
        Pause(1000);

        QVERIFY(rig.form.UploadReady);
        const QJsonArray accepted = modem.state()["uploads"].toObject()["accepted"].toArray();
        QCOMPARE(accepted.size(), 1);
        QFile image(QString::fromStdString(rig.form.ImagePath));
        QCOMPARE(accepted[0].toObject()["size"].toInteger(), image.size());
        QCOMPARE(accepted[0].toObject()["label"].toString(), "0.38f");
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
        QCOMPARE(rig.window.isVisible(), !silent);
        QVERIFY(rig.window.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(rig.window.focusWidget()->objectName(), "WebBrowser1");
    }
};

QTEST_MAIN(UploadWindowTest)
#include "UploadWindowTest.moc"
