#include "platform/linux/DefaultGateways.h"
#include "platform/linux/Dhclient.h"

#include <QtTest>

using namespace tolvane;

namespace {

const char* const RouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QStringList toQt(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}

std::vector<std::string> words(const QString& line)
{
    std::vector<std::string> list;
    for (const QString& word : line.split(' ', Qt::SkipEmptyParts))
        list.push_back(word.toStdString());
    return list;
}

} // namespace

// The rules the Linux IP Helper reads the system by: the routing table and dhclient's options.
class LinuxBackendTest : public QObject {
    Q_OBJECT

private slots:
    void defaultGateways_readsDefaultRoutes_data()
    {
        QTest::addColumn<QString>("routes");
        QTest::addColumn<QStringList>("gateways"); // "iface=address", sorted by iface

        QTest::newRow("little-endian hex")
            << "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
               "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
            << QStringList{"eth0=192.168.2.1"};
        QTest::newRow("lowest metric wins, first among equals")
            << "eth0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
               "eth0\t00000000\t0201A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
               "eth0\t00000000\t0301A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
            << QStringList{"eth0=192.168.1.2"};
        QTest::newRow("one per interface")
            << "eth0\t00000000\t0100000A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
               "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
            << QStringList{"eth0=10.0.0.1", "wlan0=192.168.1.1"};
        QTest::newRow("not default, no gateway flag, or down: ignored")
            << "eth0\t0000000A\t0100000A\t0003\t0\t0\t0\t000000FF\t0\t0\t0\n"
               "eth1\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n"
               "eth2\t00000000\t0100000A\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"
            << QStringList{};
        QTest::newRow("malformed lines skipped")
            << "eth0\t00000000\tZZ\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
               "eth1 00000000\n"
               "eth2\t00000000\t0100000A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
            << QStringList{"eth2=10.0.0.1"};
    }

    void defaultGateways_readsDefaultRoutes()
    {
        if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
            QSKIP("the table rows are written for a little-endian host");
        QFETCH(QString, routes);
        QFETCH(QStringList, gateways);
        QStringList found;
        for (const auto& [iface, address] : defaultGateways(RouteHeader + routes.toStdString()))
            found << QString::fromStdString(iface + "=" + address);
        QCOMPARE(found, gateways);
    }

    void dhclientFor_keepsTheClientsOptions_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("options");

        QTest::newRow("ifupdown's client")
            << "/sbin/dhclient -4 -v -i -pf /run/dhclient.eth0.pid -lf "
               "/var/lib/dhcp/dhclient.eth0.leases -I -df /var/lib/dhcp/dhclient6.eth0.leases eth0"
            << true
            << QStringList{"-4",
                           "-v",
                           "-i",
                           "-pf",
                           "/run/dhclient.eth0.pid",
                           "-lf",
                           "/var/lib/dhcp/dhclient.eth0.leases",
                           "-I",
                           "-df",
                           "/var/lib/dhcp/dhclient6.eth0.leases"};
        QTest::newRow("mode flags dropped, option values kept")
            << "dhclient -1 -d -nw -sf /tmp/x/script -cf /tmp/x/conf eth0" << true
            << QStringList{"-sf", "/tmp/x/script", "-cf", "/tmp/x/conf"};
        QTest::newRow("value that looks like an interface stays an option value")
            << "dhclient -pf eth0 eth0" << true << QStringList{"-pf", "eth0"};
        QTest::newRow("several interfaces") << "dhclient eth0 eth1" << false << QStringList{};
        QTest::newRow("all interfaces") << "dhclient -v" << false << QStringList{};
        QTest::newRow("no pid file") << "dhclient --no-pid eth0" << false << QStringList{};
        QTest::newRow("IPv6 client") << "dhclient -6 eth0" << false << QStringList{};
        QTest::newRow("another DHCP client") << "/usr/sbin/dhcpcd eth0" << false << QStringList{};
    }

    void dhclientFor_keepsTheClientsOptions()
    {
        QFETCH(QString, commandLine);
        QFETCH(bool, found);
        QFETCH(QStringList, options);
        const std::optional<DhclientInvocation> invocation =
            dhclientFor(words(commandLine), "eth0");
        QCOMPARE(invocation.has_value(), found);
        if (invocation)
            QCOMPARE(toQt(invocation->options), options);
    }
};

QTEST_APPLESS_MAIN(LinuxBackendTest)
#include "LinuxBackendTest.moc"
