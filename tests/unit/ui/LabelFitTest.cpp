// Every label's text fits its box as laid out in twips, whatever face stands in for MS Sans Serif
// and at whatever scale (QT_SCALE_FACTOR, or the display's DPI under Wine): the text is never cut.

#include "modem/ModemBrowser.h"
#include "ui/Form1Window.h"

#include <QLabel>
#include <QtTest>

using namespace tolvane;

class LabelFitTest : public QObject {
    Q_OBJECT

    ModemBrowser m_browser;

    static bool fits(const QLabel* label, const QFont& font)
    {
        const QRect box = label->contentsRect();
        const QRect needed =
            QFontMetrics(font, label)
                .boundingRect(box, int(label->alignment()) | Qt::TextWordWrap, label->text());
        return needed.width() <= box.width() && needed.height() <= box.height();
    }

private slots:
    // The captions the labels show at load and on the way, each in the font it is shown in.
    void label_fitsItsTextWithoutShrinkingMoreThanNeeded_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<float>("points");
        QTest::addColumn<bool>("bold");
        const auto row = [](const char* name, Control c, const char* caption, float points = 8.25F,
                            bool bold = false) {
            QTest::newRow(name) << int(c) << QString::fromUtf8(caption) << points << bold;
        };
        row("intro", Control::Label1,
            "After you click on the 'Start' button, the firmware upgrade will begin.\r\n"
            " (You need IE Version 5 or above to support this upgrade)");
        row("checklist", Control::Label5,
            " BEFORE upgrading, please make sure that:\r\n"
            "  * this PC must be connected either to LAN1,LAN2 or wireless\r\n"
            "  * in case of wireless, please save the wireless profile of your PC!");
        row("panel title", Control::Label3, "Login Screen for wireless modem", 13.5F, true);
        row("panel instruction", Control::Label4,
            "Can not login into the wireless modem. Please enter the modem password here.");
        row("password", Control::Label2, "Password");
        row("writing", Control::Label1,
            "Update Firmware, Don't switch off your wireless modem, do not close any "
            "application, do not disconnect the network",
            8);
        row("failure", Control::Label1,
            "Firmware Update not successful!!!. Please check all cables connected to your "
            "wireless modem, and power on/off the modem..\r\n then click the 'Start' button "
            "again.",
            8);
    }
    void label_fitsItsTextWithoutShrinkingMoreThanNeeded()
    {
        QFETCH(int, control);
        QFETCH(QString, caption);
        QFETCH(float, points);
        QFETCH(bool, bold);
        Form1Window window(m_browser);
        const auto designed = DesignedControls();
        for (std::size_t i = 0; i < ControlCount; ++i)
            window.controlChanged(Control(i), designed[i]);
        ControlState state = designed[std::size_t(control)];
        state.caption = caption.toStdString();
        state.fontSize = points;
        state.fontBold = bold;
        window.controlChanged(Control(control), state);

        const auto* label = window.findChild<QLabel*>(QString::fromLatin1(state.name));
        QCOMPARE(label->text(), caption.replace("\r\n", "\n"));
        const QFont shown = label->font();
        QVERIFY2(fits(label, shown), qPrintable(shown.toString()));
        QVERIFY(shown.pointSizeF() <= points);
        if (shown.pointSizeF() < points) { // shrunk: by no more than it takes
            QFont larger = shown;
            larger.setPointSizeF(shown.pointSizeF() + 0.25);
            QVERIFY(!fits(label, larger));
        }
        qInfo("%s: %.2f pt of %.2f", state.name, shown.pointSizeF(), points);
    }
};

QTEST_MAIN(LabelFitTest)
#include "LabelFitTest.moc"
