#include "support/ProgramRun.h"

#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>
#include <unistd.h>

using namespace tolvane::test;

namespace {

QString findTool(const QString& name)
{
    return QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin"});
}

// Runs a command to its end; false when it failed.
bool run(const QStringList& command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(command.first(), command.mid(1));
    return endsWell(process, 60000);
}

// What a command printed on standard error when it failed; empty when it succeeded.
QString failureOf(const QStringList& command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    if (endsWell(process, 60000))
        return {};
    const QString error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return error.isEmpty() ? command.join(' ') + " failed" : error;
}

// A mount point, bind mounts of a folder onto itself included.
bool isMountPoint(const QByteArray& path)
{
    QFile mounts("/proc/self/mountinfo");
    if (!mounts.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : mounts.readAll().split('\n'))
        if (line.split(' ').value(4) == path)
            return true;
    return false;
}

// dhclient runs this instead of its own script, so that it changes only the PC side's
// interface, never resolv.conf or the host name.
const char* const DhclientScript = R"(#!/bin/sh
case "$reason" in
PREINIT) ip link set dev "$interface" up ;;
BOUND|RENEW|REBIND|REBOOT)
    ip -4 addr flush dev "$interface"
    ip -4 addr add "$new_ip_address/$new_subnet_mask" dev "$interface"
    ip -4 route replace default via "${new_routers%% *}" dev "$interface" ;;
EXPIRE|FAIL|RELEASE|STOP) ip -4 addr flush dev "$interface" ;;
esac
)";

} // namespace

// The built program with its real Linux IP Helper and real DHCP: a "PC" namespace whose lease is
// kept by dhclient, joined by a veth pair to a "modem" namespace where dnsmasq serves DHCP and the
// stand-in modem listens at 192.168.2.1:80. Nothing outside the two namespaces is touched.
class DhcpNamespaceTest : public QObject {
    Q_OBJECT

    const QString m_suffix = QString::number(QCoreApplication::applicationPid());
    const QString m_pc = "tolvane-pc-" + m_suffix;
    const QString m_modem = "tolvane-modem-" + m_suffix;
    const QString m_pcLink = "tvp" + m_suffix;
    const QString m_modemLink = "tvm" + m_suffix;
    QStringList m_namespaces; // made here
    // `ip netns add` makes /run/netns, and bind-mounts it onto itself so that the namespaces it
    // keeps there are seen everywhere: both are undone at the end when this test made them.
    const bool m_netnsFolderMade = !QFileInfo::exists("/run/netns");
    const bool m_netnsMountMade = !isMountPoint("/run/netns");

    void removeNamespaces()
    {
        for (const QString& name : m_namespaces)
            run({"sh", "-c",
                 QString("ip netns pids %1 | xargs -r kill -9; ip netns del %1").arg(name)});
        m_namespaces.clear();
        // Another test's namespaces may be kept there by now: then it stays.
        if (!QDir("/run/netns").isEmpty())
            return;
        if (m_netnsMountMade && isMountPoint("/run/netns"))
            ::umount("/run/netns");
        if (m_netnsFolderMade)
            QDir().rmdir("/run/netns");
    }

private slots:
    void initTestCase()
    {
        if (geteuid() != 0)
            QSKIP("making network namespaces needs root");
        if (findTool("ip").isEmpty() || findTool("dnsmasq").isEmpty() ||
            findTool("dhclient").isEmpty())
            QSKIP("ip, dnsmasq or dhclient is missing (scripts/install-deps --test)");
        if (const QString why = failureOf({"ip", "netns", "add", m_pc}); !why.isEmpty()) {
            removeNamespaces();
            QSKIP(qPrintable("ip netns add fails here: " + why));
        }
        m_namespaces << m_pc;
        // Entering one also mounts /sys afresh in a mount namespace of its own, which fails
        // where / is no mount point (a chroot).
        if (const QString why = failureOf({"ip", "netns", "exec", m_pc, "true"}); !why.isEmpty()) {
            removeNamespaces();
            QSKIP(qPrintable("ip netns exec fails here: " + why));
        }
    }
    // Kills every process inside the namespaces (all of them the test's) and removes them.
    void cleanupTestCase() { removeNamespaces(); }

    // The program releases and renews the lease, finds the gateway 192.168.2.1 in the routing
    // table, opens the modem's start page there and upgrades it.
    void wholeUpgrade_overRealDhcp_findsAndUpgradesTheModem()
    {
        ProgramRun world;
        const auto path = [&](const QString& name) {
            return world.dir.filePath(name);
        };
        m_namespaces << m_modem;
        const QString network = QString(R"(set -e; ip netns add %2
            ip -n %1 link add %3 type veth peer name %4 netns %2
            ip -n %2 addr add 192.168.2.1/24 dev %4; ip -n %2 link set %4 up
            ip -n %1 link set %3 up)")
                                    .arg(m_pc, m_modem, m_pcLink, m_modemLink);
        QVERIFY(run({"sh", "-c", network}));
        QFile script(path("dhclient-script"));
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write(DhclientScript) > 0);
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));

        QProcess dhcpServer;
        dhcpServer.start("ip", {"netns", "exec", m_modem, findTool("dnsmasq"),
                                "--keep-in-foreground", "--conf-file=/dev/null", "--port=0",
                                "--no-ping", "--interface=" + m_modemLink, "--bind-interfaces",
                                "--dhcp-range=192.168.2.100,192.168.2.150,255.255.255.0,2m",
                                "--dhcp-option=option:router,192.168.2.1", "--dhcp-authoritative",
                                "--dhcp-leasefile=" + path("dnsmasq.leases"),
                                "--pid-file=" + path("dnsmasq.pid"),
                                "--log-facility=" + path("dnsmasq.log"), "--log-dhcp"});
        QTRY_VERIFY_WITH_TIMEOUT(fileContents(path("dnsmasq.log")).contains("DHCP, sockets bound"),
                                 10000);
        QVERIFY2(run({"ip", "netns", "exec", m_pc, findTool("dhclient"), "-1", "-4", "-pf",
                      path("dhclient.pid"), "-lf", path("dhclient.leases"), "-cf", "/dev/null",
                      "-sf", path("dhclient-script"), m_pcLink}),
                 "the PC side got no first lease");
        const QString address =
            world.modem.start({"--listen", "192.168.2.1:80"}, {"ip", "netns", "exec", m_modem});
        QCOMPARE(address, "192.168.2.1:80");

        QVERIFY(world.copy.ok());
        QVERIFY(world.run({"-p", "admin"}, {"ip", "netns", "exec", m_pc}));

        QCOMPARE(world.reported("Firmware_Status"), "Done");
        QCOMPARE(world.modem.version(), "0.42 (Mar 14 2006)");
        QVERIFY(!world.workFolderExists());
        // The lease was released and granted again, and a client keeps it.
        const QString serverLog = QString::fromUtf8(fileContents(path("dnsmasq.log")));
        const qsizetype release = serverLog.indexOf("DHCPRELEASE(" + m_modemLink + ")");
        QVERIFY2(release >= 0 && serverLog.indexOf("DHCPACK(" + m_modemLink + ")", release) > 0,
                 qPrintable(serverLog));
        const pid_t client = fileContents(path("dhclient.pid")).trimmed().toInt();
        QVERIFY(client > 0 && ::kill(client, 0) == 0);
    }
};

QTEST_GUILESS_MAIN(DhcpNamespaceTest)
#include "DhcpNamespaceTest.moc"
