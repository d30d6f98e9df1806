#include "ui/Form1Window.h"

#include "common/Errors.h"
#include "support/Form1Rig.h"
#include "support/RuntimeDir.h"
#include "support/StandInModem.h"

#include <QApplication>
#include <QClipboard>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tolvane;

namespace {

// Form1 on the real window (the real clipboard and Ctrl+V key event), with the services and test
// time of a Form1Rig.
struct WindowRig {
    explicit WindowRig(bool silent = false) : services(silent) { window.attach(form); }
    template <typename T = QWidget> T* control(const char* name) const
    {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    test::Form1Rig services;
    Form1Window window{services.browser};
    Form1 form{services.services(), window};
};

} // namespace

// The main window on screen at 96 dots per inch (15 twips a pixel), through a whole upgrade.
class Form1WindowTest : public QObject {
    Q_OBJECT

public:
    static void initMain() { tolvane::test::useOwnRuntimeDir(); }

private slots:
    void upgrade_onScreen_showsPanelProgressAndOutcome_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("interactive, password refused once") << false;
        QTest::newRow("silent: shown for the paste only") << true;
    }
    void upgrade_onScreen_showsPanelProgressAndOutcome()
    {
        QFETCH(bool, silent);
        test::StandInModem modem;
        WindowRig rig(silent);
        rig.services.gateways({modem.address()});
        rig.services.state.runOptions.Password = silent ? "admin" : "wrong";
        rig.form.Show();
        QCOMPARE(rig.window.isVisible(), !silent);
        QCOMPARE(rig.window.windowTitle(), "Tolvane ver 0.42 Ver 0.51");
        QCOMPARE(rig.window.size(), QSize(524, 199)); // 7975 by 3430 twips less frame and caption
        QCOMPARE(rig.control("Image1")->geometry(), QRect(210, 7, 112, 21));
        QCOMPARE(rig.window.windowIcon().availableSizes(),
                 QList<QSize>({{16, 16}, {24, 24}, {32, 32}, {48, 48}, {256, 256}}));
        QVERIFY(!(rig.control("WebBrowser1")->focusPolicy() & Qt::TabFocus)); // never seen
        QGuiApplication::clipboard()->setText(QStringLiteral("what the user had copied"));

        // At every wait: answer the password panel once, and check the bar when half full.
        bool panelSeen = false;
        bool halfSeen = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* box = rig.control<QLineEdit>("txtPassword");
            if (panelSeen && rig.control("Frame2")->isVisible()) // refused again: Cancel
                QTest::mouseClick(rig.control<QPushButton>("Command4"), Qt::LeftButton);
            if (!panelSeen && rig.control("Frame2")->isVisible()) {
                panelSeen = true;
                QVERIFY(box->text().isEmpty() && box->echoMode() == QLineEdit::Password);
                QTest::keyClicks(box, "admin");
                QTest::keyClick(box, Qt::Key_Return); // presses Login
            }
            auto* bar = rig.control("ProgressLab");
            const int track = rig.control("ProgressLabelback")->width();
            if (!halfSeen && !bar->isHidden() && bar->width() >= track / 2) {
                halfSeen = true;
                QVERIFY(bar->width() - track / 2 <= 3); // one step of the bar is 2.88 pixels
                QVERIFY(!rig.control<QPushButton>("Command2")->isEnabled());
            }
        });
        watch.start(0);

        QCOMPARE(test::Form1Rig::ends([&] { rig.form.Command1_Click(); }), silent);

        QVERIFY(panelSeen != silent && halfSeen);
        QVERIFY(rig.control<QLabel>("Label1")->text().startsWith("Congratulations!!"));
        QCOMPARE(modem.state()["uploads"].toObject()["accepted"].toArray().size(), 1);
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
        QVERIFY(rig.window.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(rig.window.isVisible(), !silent);
        QCOMPARE(rig.services.reported("Firmware_Status"), "Done");
        if (silent)
            return;                                                  // it ended, images removed
        QCOMPARE(rig.window.focusWidget(), rig.control("Command2")); // the one enabled button
        QTest::keyClick(rig.window.focusWidget(), Qt::Key_Return);
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, RethrowPendingEnd());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(rig.form.WorkFolder)));
    }
};

QTEST_MAIN(Form1WindowTest)
#include "Form1WindowTest.moc"
