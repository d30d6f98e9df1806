#include "adapters/AdapterRefreshCycle.h"
#include "adapters/Form2.h"
#include "common/GatewayTable.h"
#include "common/Pause.h"
#include "platform/MousePointer.h"
#include "platform/linux/DefaultGateways.h"
#include "platform/linux/Dhclient.h"
#include "platform/sim/SimIpHelper.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualClock.h"

#include <QtTest>

using namespace tolvane;
using namespace std::string_literals;
using Adapters = std::vector<SimIpHelper::Adapter>;
Q_DECLARE_METATYPE(Adapters)

// The adapter tool on the simulated IP Helper that the demo and the end-to-end tests run on, and
// the rules by which the Linux IP Helper reads the system.
class AdaptersTest : public QObject {
    Q_OBJECT

    struct NoPointer final : MousePointer {
        void setShape(PointerShape) override {}
    };
    std::unique_ptr<test::VirtualClock> m_clock;
    NoPointer m_pointer;
    test::RecordingMessageBoxes m_boxes;

private slots:
    void init()
    {
        m_clock = std::make_unique<test::VirtualClock>();
        InstallPauseClock(m_clock.get());
        m_boxes = test::RecordingMessageBoxes();
    }

    // Rows: the adapters; the calls between the sockets' start and end; the gathered gateways.
    void cycle_releasesRenewsAndGathersTheGateways_data()
    {
        QTest::addColumn<Adapters>("adapters");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("gateways");
        QTest::newRow("fixed adapters refuse, the passes go on")
            << Adapters{{7, "LAN", "127.0.0.5", "127.0.0.1:8080", true},
                        {8, "Fixed", "127.0.1.5", "", false},
                        {9, "Fixed", "127.0.2.5", "127.0.2.1", false}}
            << "release 7 0|release 8 50|release 9 50|renew 7 0|renew 8 50|renew 9 50|"
            << "127.0.0.1:8080|127.0.2.1|";
        QTest::newRow("index 0 is no adapter")
            << Adapters{{0, "LAN", "0.0.0.0", "", true},
                        {9, std::string(132, 'D'), "127.0.0.5", "", true}} // no NUL left
            << "release 9 0|renew 9 0|"
            << "";
        QTest::newRow("blank gateways are left out, others keep their blanks")
            << Adapters{{7, "LAN", "127.0.0.5", "   ", false},
                        {8, "LAN", "127.0.1.5", " 127.0.1.1 ", false}}
            << "release 7 50|release 8 50|renew 7 50|renew 8 50|"
            << " 127.0.1.1 |";
        Adapters seventeen;
        QString releases, renews, gateways;
        for (int i = 1; i <= 17; ++i) {
            seventeen.push_back(
                {i, "LAN", "127.0.0.2", "127.0." + std::to_string(i) + ".1", false});
            releases += QString("release %1 50|").arg(i);
            renews += QString("renew %1 50|").arg(i);
            gateways += i <= 16 ? QString("127.0.%1.1|").arg(i) : QString();
        }
        QTest::newRow("seventeen gateways: the first sixteen fill the table")
            << seventeen << releases + renews << gateways;
    }
    void cycle_releasesRenewsAndGathersTheGateways()
    {
        QFETCH(Adapters, adapters);
        QFETCH(QString, calls);
        QFETCH(QString, gateways);
        SimIpHelper ip(adapters);
        GatewayTable table;
        table.GatewayCount = 3; // from an earlier cycle
        AdapterRefreshCycle(ip, m_pointer, m_boxes, table);

        QString called, gathered;
        for (const std::string& call : ip.calls())
            called += QString::fromStdString(call) + "|";
        QCOMPARE(called, "startup 0x0101 0|" + calls + "cleanup 0|");
        for (int i = 0; i < table.GatewayCount; ++i)
            gathered += QString::fromStdString(table.GatewayAddresses.at(std::size_t(i))) + "|";
        QCOMPARE(gathered, gateways);
        QVERIFY(m_clock->waited() >= 6000 && m_clock->waited() < 6100); // 5 s, then 1 s
        QVERIFY(m_boxes.shown().empty());
    }

    void unload_withoutSocketsStarted_saysSoAndGoesOn()
    {
        SimIpHelper ip({});
        GatewayTable table;
        Form2(ip, m_pointer, m_boxes, table).Form_Unload();
        QVERIFY(m_boxes.shown().size() == 1 && m_boxes.shown()[0].icon == MessageIcon::Exclamation);
        QCOMPARE(m_boxes.shown()[0].title + ": " + m_boxes.shown()[0].text,
                 "Tolvane: Windows Sockets error occurred in Cleanup.");
    }

    // The rules the Linux IP Helper reads the system by: the routing table and dhclient's options.
    void defaultGateways_readsDefaultRoutes_data()
    {
        // Rows of /proc/net/route up to the mask: interface, destination, gateway, flags, RefCnt,
        // Use, metric, mask; addresses in hex, little-endian.
        QTest::addColumn<QString>("routes");
        QTest::addColumn<QString>("gateways");
        QTest::newRow("one per interface: the lowest metric, the first among equals")
            << "eth0 00000000 0101007F 3 0 0 600 0,eth0 00000000 0201007F 3 0 0 100 0,wlan0 "
               "00000000 0102007F 3 0 0 0 0,eth0 00000000 0301007F 3 0 0 100 0,eth0 0002007F "
               "00000000 1 0 0 0 00FFFFFF"
            << "eth0=127.0.1.2 wlan0=127.0.2.1";
        QTest::newRow("not default, no gateway flag, down or malformed: ignored")
            << "eth0 0000007F 0100007F 3 0 0 0 FF,eth1 00000000 0 1 0 0 0 0,eth2 00000000 "
               "0100007F 2 0 0 0 0,eth3 00000000 ZZ 3 0 0 0 0,eth4 00000000,eth5 00000000 "
               "0100007F 3 0 0 x 0"
            << "";
    }
    void defaultGateways_readsDefaultRoutes()
    {
        QFETCH(QString, routes);
        QFETCH(QString, gateways);
        const QString table = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n" +
                              routes.replace(',', '\n').replace(' ', '\t');
        QStringList found;
        for (const auto& [iface, address] : defaultGateways(table.toStdString()))
            found << QString::fromStdString(iface + "=" + address);
        QCOMPARE(found.join(' '), gateways);
    }

    void dhclientFor_keepsTheClientsOptions_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("options"); // "-" when eth0 has no client of its own here
        const auto row = [](const char* name, const char* line, const char* options) {
            QTest::newRow(name) << QString(line) << QString(options);
        };
        row("ifupdown's client, mode flags dropped",
            "/sbin/dhclient -4 -v -1 -nw -pf /run/d.pid -lf /var/d.leases -I eth0",
            "-4 -v -pf /run/d.pid -lf /var/d.leases -I");
        row("several interfaces", "dhclient eth0 eth1", "-");
        row("no pid file", "dhclient --no-pid eth0", "-");
        row("IPv6 client", "dhclient -6 eth0", "-");
        row("another DHCP client", "/usr/sbin/dhcpcd eth0", "-");
    }
    void dhclientFor_keepsTheClientsOptions()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, options);
        std::vector<std::string> words;
        for (const QString& word : commandLine.split(' '))
            words.push_back(word.toStdString());
        const auto invocation = dhclientFor(words, "eth0");
        QStringList found;
        for (const std::string& option : invocation ? invocation->options : std::vector{"-"s})
            found << QString::fromStdString(option);
        QCOMPARE(found.join(' '), options);
    }

    // A client's own binary is run where this process can run it; otherwise the one on the PATH.
    void dhclientProgram_isTheClientsOwnWhereItCanRun()
    {
        QCOMPARE(dhclientProgram("/bin/sh"), "/bin/sh"s);
        QCOMPARE(dhclientProgram("/nonexistent-chroot/sbin/dhclient"), "dhclient"s);
        QCOMPARE(dhclientProgram("/bin/sh (deleted)"), "dhclient"s);
        QCOMPARE(dhclientProgram(""), "dhclient"s);
    }
};

QTEST_GUILESS_MAIN(AdaptersTest)
#include "AdaptersTest.moc"
