#include "adapters/Form2.h"

#include "FakeIpHelper.h"
#include "adapters/AdapterRefreshCycle.h"
#include "common/GatewayTable.h"
#include "common/Pause.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualClock.h"

#include <QtTest>

using namespace tolvane;
using namespace tolvane::test;

using Adapters = std::vector<IpAdapterInfo>;
Q_DECLARE_METATYPE(Adapters)

namespace {

QStringList rows(ListBox& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << QString::fromStdString(list.item(i));
    return texts;
}

QStringList toQt(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}

QStringList gathered(const GatewayTable& table)
{
    QStringList list;
    for (int i = 0; i < table.GatewayCount; ++i)
        list << QString::fromStdString(table.GatewayAddresses[static_cast<std::size_t>(i)]);
    return list;
}

} // namespace

class Form2Test : public QObject {
    Q_OBJECT

    std::vector<std::string> m_log;
    std::unique_ptr<FakeIpHelper> m_fake;
    RecordingMousePointer m_pointer{m_log};
    RecordingMessageBoxes m_boxes;
    GatewayTable m_table;
    std::unique_ptr<VirtualClock> m_clock;

    FakeIpHelper& ip() { return *m_fake; }
    Form2 form() { return Form2(*m_fake, m_pointer, m_boxes, m_table); }

private slots:
    void init()
    {
        m_log.clear();
        m_fake = std::make_unique<FakeIpHelper>(m_log);
        m_boxes = RecordingMessageBoxes();
        m_table = GatewayTable();
        m_clock = std::make_unique<VirtualClock>();
        InstallPauseClock(m_clock.get());
    }

    void load_listsAdaptersAndGathersGateways_data()
    {
        QTest::addColumn<Adapters>("adapters");
        QTest::addColumn<QStringList>("list1");
        QTest::addColumn<QStringList>("list2");
        QTest::addColumn<QStringList>("list3");
        QTest::addColumn<QStringList>("gateways");

        QTest::newRow("no adapters")
            << Adapters{} << QStringList{} << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("adapter without gateway keeps its empty row")
            << Adapters{adapterRecord(7, "192.168.1.5", ""),
                        adapterRecord(9, "10.0.0.5", "10.0.0.1", "Wireless")}
            << QStringList{"7", "9"} << QStringList{"192.168.1.5\tLAN", "10.0.0.5\tWireless"}
            << QStringList{"", "10.0.0.1"} << QStringList{"10.0.0.1"};
        QTest::newRow("spaces-only gateway is not gathered")
            << Adapters{adapterRecord(7, "192.168.1.5", "   ")} << QStringList{"7"}
            << QStringList{"192.168.1.5\tLAN"} << QStringList{"   "} << QStringList{};
        QTest::newRow("gathered gateway keeps its spaces")
            << Adapters{adapterRecord(7, "192.168.1.5", " 192.168.1.1 ")} << QStringList{"7"}
            << QStringList{"192.168.1.5\tLAN"} << QStringList{" 192.168.1.1 "}
            << QStringList{" 192.168.1.1 "};

        const std::string full(132, 'D');
        QTest::newRow("description filling all 132 bytes without a NUL")
            << Adapters{adapterRecord(7, "192.168.1.5", "192.168.1.1", full)} << QStringList{"7"}
            << QStringList{"192.168.1.5\t" + QString::fromStdString(full)}
            << QStringList{"192.168.1.1"} << QStringList{"192.168.1.1"};

        Adapters seventeen;
        QStringList indexes, addresses, gateways;
        for (int i = 1; i <= 17; ++i) {
            const std::string gateway = "10.0." + std::to_string(i) + ".1";
            seventeen.push_back(adapterRecord(i, "10.0.0.2", gateway));
            indexes << QString::number(i);
            addresses << "10.0.0.2\tLAN";
            gateways << QString::fromStdString(gateway);
        }
        QTest::newRow("seventeen gateways: the first sixteen fill the table")
            << seventeen << indexes << addresses << gateways << gateways.mid(0, 16);
    }

    void load_listsAdaptersAndGathersGateways()
    {
        QFETCH(Adapters, adapters);
        QFETCH(QStringList, list1);
        QFETCH(QStringList, list2);
        QFETCH(QStringList, list3);
        QFETCH(QStringList, gateways);
        ip().adapters = adapters;
        ip().leaseAnswers.assign(2 * adapters.size(), ERROR_NOT_SUPPORTED);

        Form2 form2 = form();
        form2.Form_Load();

        QCOMPARE(rows(form2.List1()), list1);
        QCOMPARE(rows(form2.List2()), list2);
        QCOMPARE(rows(form2.List3()), list3);
        QCOMPARE(gathered(m_table), gateways);
        QVERIFY(m_clock->waited() > 5000);
        if (adapters.empty())
            QCOMPARE(toQt(m_log), (QStringList{"startup 0x0101"}));
    }

    void load_leavesButtonsDisabledWithTheirCaptions()
    {
        ip().adapters = {adapterRecord(7, "192.168.1.5", "192.168.1.1")};
        Form2 form2 = form();
        QCOMPARE(form2.Command1().Caption, "Command1");
        form2.Form_Load();

        QCOMPARE(form2.Command1().Caption, "Release IP");
        QCOMPARE(form2.Command2().Caption, "Renew IP");
        QVERIFY(!form2.Command1().Enabled);
        QVERIFY(!form2.Command2().Enabled);
        QCOMPARE(form2.List2().tabStops(), std::vector<int>{61});
        QVERIFY(!form2.Visible());
    }

    void passes_actOnEachListedAdapterInOrder_data()
    {
        QTest::addColumn<Adapters>("adapters");
        QTest::addColumn<QList<quint32>>("answers");
        QTest::addColumn<QList<quint32>>("interfaces"); // empty: one per adapter
        QTest::addColumn<QString>("afterSuccess");      // how a successful call changes the list
        QTest::addColumn<QStringList>("log");

        const Adapters two{adapterRecord(7, "192.168.1.5", "192.168.1.1"),
                           adapterRecord(9, "10.0.0.5", "10.0.0.1")};
        QTest::newRow("two DHCP adapters: rebuilt after each success")
            << two << QList<quint32>{} << QList<quint32>{} << QString()
            << QStringList{"startup 0x0101", "list",      "busy", "release 7", "list", "default",
                           "busy",           "release 9", "list", "default",   "busy", "renew 7",
                           "list",           "default",   "busy", "renew 9",   "list", "default"};
        QTest::newRow("failing release: no rebuild, the pass goes on")
            << two << QList<quint32>{ERROR_NOT_SUPPORTED, 0, ERROR_NOT_SUPPORTED, 0}
            << QList<quint32>{} << QString()
            << QStringList{"startup 0x0101", "list",    "busy",      "release 7",
                           "default",        "busy",    "release 9", "list",
                           "default",        "busy",    "renew 7",   "default",
                           "busy",           "renew 9", "list",      "default"};
        QTest::newRow("index 0 skipped without the busy pointer")
            << Adapters{adapterRecord(0, "0.0.0.0", ""), adapterRecord(9, "10.0.0.5", "")}
            << QList<quint32>{} << QList<quint32>{} << QString()
            << QStringList{"startup 0x0101", "list", "busy",    "release 9", "list",
                           "default",        "busy", "renew 9", "list",      "default"};
        QTest::newRow("adapter missing from the interface table: no call")
            << two << QList<quint32>{} << QList<quint32>{9} << QString()
            << QStringList{"startup 0x0101", "list",    "busy",    "default", "busy",
                           "release 9",      "list",    "default", "busy",    "default",
                           "busy",           "renew 9", "list",    "default"};
        QTest::newRow("list shrinks: positions past its end act on nothing")
            << Adapters{adapterRecord(7, "192.168.1.5", ""), adapterRecord(9, "10.0.0.5", ""),
                        adapterRecord(11, "10.0.1.5", "")}
            << QList<quint32>{} << QList<quint32>{} << QString("shrink")
            << QStringList{"startup 0x0101", "list", "busy",    "release 7", "list",
                           "default",        "busy", "renew 7", "list",      "default"};
        QTest::newRow("list grows: a pass keeps the row count it started with")
            << two << QList<quint32>{} << QList<quint32>{} << QString("grow")
            << QStringList{"startup 0x0101", "list",      "busy", "release 7", "list", "default",
                           "busy",           "release 9", "list", "default",   "busy", "renew 7",
                           "list",           "default",   "busy", "renew 9",   "list", "default",
                           "busy",           "renew 13",  "list", "default"};
    }

    void passes_actOnEachListedAdapterInOrder()
    {
        QFETCH(Adapters, adapters);
        QFETCH(QList<quint32>, answers);
        QFETCH(QList<quint32>, interfaces);
        QFETCH(QString, afterSuccess);
        QFETCH(QStringList, log);
        ip().adapters = adapters;
        ip().leaseAnswers.assign(answers.begin(), answers.end());
        if (!interfaces.isEmpty())
            ip().interfaceIndexes =
                std::vector<std::uint32_t>(interfaces.begin(), interfaces.end());
        if (afterSuccess == "shrink")
            ip().afterSuccess = [](FakeIpHelper& fake) {
                fake.adapters.resize(1);
            };
        if (afterSuccess == "grow")
            ip().afterSuccess = [](FakeIpHelper& fake) {
                if (fake.adapters.size() < 3)
                    fake.adapters.push_back(adapterRecord(13, "10.0.2.5", ""));
            };

        Form2 form2 = form();
        form2.Form_Load();

        QCOMPARE(toQt(m_log), log);
        QVERIFY(m_boxes.shown().empty());
    }

    void display_rebuildsFromTheChain_data()
    {
        QTest::addColumn<bool>("chainBackwards");
        QTest::addColumn<bool>("secondCallFails");
        QTest::addColumn<QStringList>("list1");

        QTest::newRow("rows follow the chain") << true << false << QStringList{"1", "3", "2"};
        QTest::newRow("second call fails: empty, no retry") << false << true << QStringList{};
    }

    void display_rebuildsFromTheChain()
    {
        QFETCH(bool, chainBackwards);
        QFETCH(bool, secondCallFails);
        QFETCH(QStringList, list1);
        ip().adapters = {adapterRecord(1, "10.0.0.1", ""), adapterRecord(2, "10.0.0.2", ""),
                         adapterRecord(3, "10.0.0.3", "")};
        ip().chainBackwards = chainBackwards;
        if (secondCallFails)
            ip().secondListAnswer = ERROR_BUFFER_OVERFLOW;
        Form2 form2 = form();
        form2.List1().addItem("stale");
        form2.List3().addItem("stale");

        form2.DisplayAdatersInfo();

        QCOMPARE(ip().listCalls, 2);
        QCOMPARE(rows(form2.List1()), list1);
        QCOMPARE(form2.List2().count(), list1.size());
        QCOMPARE(form2.List3().count(), list1.size());
    }

    void secondLoad_rewritesTableFromTheStartAndShrinksCount()
    {
        ip().adapters = {adapterRecord(1, "10.0.0.2", "10.0.0.1"),
                         adapterRecord(2, "10.0.1.2", "10.0.1.1"),
                         adapterRecord(3, "10.0.2.2", "10.0.2.1")};
        AdapterRefreshCycle(ip(), m_pointer, m_boxes, m_table);
        QCOMPARE(m_table.GatewayCount, 3);

        ip().adapters = {adapterRecord(4, "192.168.2.100", "192.168.2.1")};
        AdapterRefreshCycle(ip(), m_pointer, m_boxes, m_table);

        QCOMPARE(gathered(m_table), QStringList{"192.168.2.1"});
        QCOMPARE(m_table.GatewayAddresses[1], "10.0.1.1");
        QCOMPARE(m_table.GatewayAddresses[2], "10.0.2.1");
    }

    void cycle_withoutAdapters_callsNothingAndLastsSixSeconds()
    {
        m_table.GatewayCount = 3;
        AdapterRefreshCycle(ip(), m_pointer, m_boxes, m_table);

        QCOMPARE(m_table.GatewayCount, 0);
        QCOMPARE(toQt(m_log), (QStringList{"startup 0x0101", "cleanup"}));
        QVERIFY(m_clock->waited() >= 6000);
    }

    void unload_failedCleanup_showsMessageAndGoesOn_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("boxes");
        QTest::newRow("cleanup succeeds") << 0 << 0;
        QTest::newRow("cleanup fails") << WSANOTINITIALISED << 1;
    }

    void unload_failedCleanup_showsMessageAndGoesOn()
    {
        QFETCH(int, answer);
        QFETCH(int, boxes);
        ip().cleanupAnswer = answer;
        AdapterRefreshCycle(ip(), m_pointer, m_boxes, m_table);

        QCOMPARE(int(m_boxes.shown().size()), boxes);
        if (boxes) {
            QCOMPARE(m_boxes.shown()[0].text, "Windows Sockets error occurred in Cleanup.");
            QCOMPARE(m_boxes.shown()[0].title, "Tolvane");
            QVERIFY(m_boxes.shown()[0].icon == MessageIcon::Exclamation);
        }
    }

    void selection_linksListsAndButtons()
    {
        ip().adapters = {adapterRecord(7, "192.168.1.5", ""), adapterRecord(9, "10.0.0.5", "")};
        ip().leaseAnswers.assign(4, ERROR_NOT_SUPPORTED);
        Form2 form2 = form();
        form2.Form_Load();

        form2.List2().setSelectedIndex(1);
        form2.List2_MouseDown();
        QCOMPARE(form2.List1().selectedIndex(), 1);
        QVERIFY(form2.Command1().Enabled && form2.Command2().Enabled);

        form2.List1().setSelectedIndex(0);
        form2.List1_MouseDown();
        QCOMPARE(form2.List2().selectedIndex(), 0);

        form2.List1().setSelectedIndex(-1);
        form2.List1_Click();
        QVERIFY(!form2.Command1().Enabled && !form2.Command2().Enabled);
    }
};

QTEST_GUILESS_MAIN(Form2Test)
#include "Form2Test.moc"
