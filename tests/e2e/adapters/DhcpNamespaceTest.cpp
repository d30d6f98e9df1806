#include "common/RunOptions.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"
#include "support/ProgramCopy.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

QString findTool(const QString& name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    return path;
}

struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QStringList& command, int timeoutMs = 30000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    Run result;
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = "did not finish: " + command.join(' ');
        return result;
    }
    result.output = QString::fromUtf8(process.readAll());
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The network namespaces a test made. Going away, it ends every process inside them (all of them
// started by the test) and removes them, whatever state the test left them in.
class Namespaces final {
public:
    explicit Namespaces(QString ip) : m_ip(std::move(ip)) {}
    ~Namespaces() { removeAll(); }
    Namespaces(const Namespaces&) = delete;
    Namespaces& operator=(const Namespaces&) = delete;

    Run add(const QString& name)
    {
        const Run result = run({m_ip, "netns", "add", name});
        if (result.exitCode == 0)
            m_names << name;
        return result;
    }

    void removeAll()
    {
        for (const QString& name : std::as_const(m_names)) {
            for (int signal : {SIGTERM, SIGKILL}) {
                const QStringList pids =
                    run({m_ip, "netns", "pids", name}).output.split('\n', Qt::SkipEmptyParts);
                for (const QString& pid : pids)
                    ::kill(static_cast<pid_t>(pid.trimmed().toInt()), signal);
                if (pids.isEmpty())
                    break;
                QTest::qWait(500);
            }
            run({m_ip, "netns", "del", name});
        }
        m_names.clear();
    }

private:
    QString m_ip;
    QStringList m_names;
};

} // namespace

// The adapter tool on the real Linux IP Helper with real DHCP: a "PC" namespace whose lease is
// kept by dhclient, joined by a veth pair to a "modem" namespace where dnsmasq serves DHCP only.
// Nothing outside the two namespaces is touched: dhclient runs our own script, which changes only
// the PC side's interface, never resolv.conf or the host name.
class DhcpNamespaceTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_ip = findTool("ip");
    QString m_dnsmasq = findTool("dnsmasq");
    QString m_dhclient = findTool("dhclient");
    std::unique_ptr<Namespaces> m_namespaces;
    QProcess m_dhcpServer;
    QProcess m_modemProcess;
    bool m_networkUp = false;
    QString m_bin = qEnvironmentVariable("TOLVANE_BIN");

    const QString m_suffix = QString::number(QCoreApplication::applicationPid());
    const QString m_pc = "tolvane-pc-" + m_suffix;
    const QString m_modem = "tolvane-modem-" + m_suffix;
    const QString m_pcLink = "tvp" + m_suffix;
    const QString m_modemLink = "tvm" + m_suffix;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    bool ok(const QStringList& command)
    {
        const Run result = run(command);
        if (result.exitCode != 0)
            qWarning().noquote() << command.join(' ') << "failed:" << result.output;
        return result.exitCode == 0;
    }

    QStringList dhclientCommand(const QString& mode) const
    {
        return {m_ip,
                "netns",
                "exec",
                m_pc,
                m_dhclient,
                mode,
                "-4",
                "-pf",
                path("dhclient.pid"),
                "-lf",
                path("dhclient.leases"),
                "-cf",
                path("dhclient.conf"),
                "-sf",
                path("dhclient-script"),
                m_pcLink};
    }

    void writeClientFiles()
    {
        QFile conf(path("dhclient.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("timeout 30;\nrequest subnet-mask, broadcast-address, routers;\n");
        conf.close();

        QFile script(path("dhclient-script"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QString(R"(#!/bin/sh
echo "$reason" >> '%1'
case "$reason" in
PREINIT) ip link set dev "$interface" up ;;
BOUND|RENEW|REBIND|REBOOT)
    ip -4 addr flush dev "$interface"
    ip -4 addr add "$new_ip_address/$new_subnet_mask" dev "$interface"
    for router in $new_routers; do
        ip -4 route replace default via "$router" dev "$interface"
        break
    done ;;
EXPIRE|FAIL|RELEASE|STOP) ip -4 addr flush dev "$interface" ;;
esac
exit 0
)")
                         .arg(path("script.log"))
                         .toUtf8());
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void startDhcpServer()
    {
        m_dhcpServer.setProcessChannelMode(QProcess::MergedChannels);
        m_dhcpServer.start(m_ip, {"netns", "exec", m_modem, m_dnsmasq, "--keep-in-foreground",
                                  "--conf-file=/dev/null", "--port=0", "--no-ping",
                                  "--interface=" + m_modemLink, "--bind-interfaces",
                                  "--dhcp-range=192.168.2.100,192.168.2.150,255.255.255.0,2m",
                                  "--dhcp-option=option:router,192.168.2.1", "--dhcp-authoritative",
                                  "--dhcp-leasefile=" + path("dnsmasq.leases"),
                                  "--pid-file=" + path("dnsmasq.pid"),
                                  "--log-facility=" + path("dnsmasq.log"), "--log-dhcp"});
        QVERIFY(m_dhcpServer.waitForStarted());
        QTRY_VERIFY2_WITH_TIMEOUT(readFile(path("dnsmasq.log")).contains("DHCP, sockets bound"),
                                  qPrintable(QString::fromUtf8(m_dhcpServer.readAll())), 10000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (m_ip.isEmpty() || geteuid() != 0)
            QSKIP("network namespaces cannot be made here: the test needs root and iproute2");
        m_namespaces = std::make_unique<Namespaces>(m_ip);
        const Run made = m_namespaces->add(m_pc);
        if (made.exitCode != 0)
            QSKIP(qPrintable("network namespaces cannot be made here: " + made.output));
        QVERIFY2(!m_dnsmasq.isEmpty(), "dnsmasq is missing (scripts/install-deps: dnsmasq-base)");
        QVERIFY2(!m_dhclient.isEmpty(), "dhclient is missing (scripts/install-deps)");
    }

    void cleanupTestCase()
    {
        if (m_namespaces)
            m_namespaces->removeAll();
        m_dhcpServer.waitForFinished(5000);
    }

private:
    // The two namespaces, joined, with dnsmasq serving and the PC side holding a first lease.
    void makeNetwork()
    {
        if (m_networkUp)
            return;
        QVERIFY(m_namespaces->add(m_modem).exitCode == 0);
        QVERIFY(ok({m_ip, "-n", m_pc, "link", "add", m_pcLink, "type", "veth", "peer", "name",
                    m_modemLink, "netns", m_modem}));
        QVERIFY(ok({m_ip, "-n", m_modem, "addr", "add", "192.168.2.1/24", "dev", m_modemLink}));
        QVERIFY(ok({m_ip, "-n", m_modem, "link", "set", m_modemLink, "up"}));
        QVERIFY(ok({m_ip, "-n", m_pc, "link", "set", m_pcLink, "up"}));
        writeClientFiles();
        startDhcpServer();
        QVERIFY2(ok(dhclientCommand("-1")), "the PC side got no first lease");
        m_networkUp = true;
    }

    // Starts the stand-in modem inside the modem namespace, at the address of a real modem.
    void startModem()
    {
        m_modemProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_modemProcess.start(m_ip,
                             {"netns", "exec", m_modem, m_bin + "/tolvane-modem-sim", "--listen",
                              "192.168.2.1:80", "--version", "0.39k (Nov 15 2005)", "--time-scale",
                              "0.05", "--state-file", path("modem.json")});
        QVERIFY(m_modemProcess.waitForReadyRead(10000));
        QCOMPARE(m_modemProcess.readLine().trimmed(), "listening on 192.168.2.1:80");
    }

private slots:
    void refreshCycle_releasesAndRenewsTheRealLease()
    {
        makeNetwork();

        const Run probe =
            run({m_ip, "netns", "exec", m_pc,
                 QCoreApplication::applicationDirPath() + "/adapters_refresh_probe", m_pc, "0.2"},
                120000);
        QVERIFY2(probe.exitCode == 0, qPrintable(probe.output));
        QVERIFY2(probe.output.contains("GatewayCount=1\n"), qPrintable(probe.output));
        QVERIFY2(probe.output.contains("GatewayAddresses(0)=192.168.2.1\n"),
                 qPrintable(probe.output));
        QVERIFY2(!probe.output.contains("MessageBox="), qPrintable(probe.output));

        // The server saw the release and then granted a lease again.
        const QString serverLog = readFile(path("dnsmasq.log"));
        const qsizetype release = serverLog.indexOf("DHCPRELEASE(" + m_modemLink + ")");
        QVERIFY2(release >= 0, qPrintable(serverLog));
        QVERIFY2(serverLog.indexOf("DHCPACK(" + m_modemLink + ")", release) > release,
                 qPrintable(serverLog));
        const QStringList reasons = readFile(path("script.log")).split('\n', Qt::SkipEmptyParts);
        const qsizetype released = reasons.indexOf("RELEASE");
        QVERIFY2(released >= 0 && (reasons.indexOf("BOUND", released) > released ||
                                   reasons.indexOf("REBOOT", released) > released),
                 qPrintable(reasons.join(' ')));

        // A client keeps the renewed lease, and the PC side has its address again.
        const pid_t client = readFile(path("dhclient.pid")).trimmed().toInt();
        QVERIFY(client > 0 && ::kill(client, 0) == 0);
        const Run address = run({m_ip, "-n", m_pc, "-4", "-o", "addr", "show", "dev", m_pcLink});
        QVERIFY2(address.output.contains("inet 192.168.2."), qPrintable(address.output));
    }

    // The built program, silent, with its real Linux IP Helper inside the PC namespace: it
    // releases and renews the lease, finds the gateway 192.168.2.1 in the routing table, opens
    // the modem's start page there and upgrades it.
    void wholeUpgrade_overRealDhcp_findsAndUpgradesTheModem()
    {
        makeNetwork();
        startModem();
        tolvane::test::ProgramCopy program(m_dir.path());
        QVERIFY(program.ok());
        const qsizetype logBefore = readFile(path("dnsmasq.log")).size();
        const Run upgrade =
            run({"/usr/bin/env", "-u", "TOLVANE_ADAPTERS",
                 "TOLVANE_REGISTRY=" + path("registry.sqlite"), "TOLVANE_TIME_SCALE=0.05",
                 "XDG_RUNTIME_DIR=" + m_dir.path(), "QT_QPA_PLATFORM=offscreen", m_ip, "netns",
                 "exec", m_pc, program.program(), "-s", "-k", "HKEY_CURRENT_USER\\Software\\Netns",
                 "-p", "admin"},
                180000);
        QVERIFY2(upgrade.exitCode == 0, qPrintable(upgrade.output));

        tolvane::SqliteRegistryStore store(path("registry.sqlite").toStdString());
        tolvane::Registry registry(store);
        const auto reported = [&](const char* name) {
            return registry.QueryKeyValue(tolvane::HKEY_CURRENT_USER, "Software\\Netns", name);
        };
        QCOMPARE(reported("Firmware_Status"), "Done");
        QCOMPARE(reported("Old_Firmware_Version"), "0.39k");
        QVERIFY2(readFile(path("modem.json")).contains("\"0.42 (Mar 14 2006)\""),
                 qPrintable(readFile(path("modem.json"))));
        // The lease was released and renewed for real.
        const QString serverLog = readFile(path("dnsmasq.log")).mid(logBefore);
        QVERIFY2(serverLog.contains("DHCPRELEASE(" + m_modemLink + ")"), qPrintable(serverLog));
        QVERIFY(!QFileInfo::exists(program.workFolder()));
        m_modemProcess.terminate();
        m_modemProcess.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(DhcpNamespaceTest)
#include "DhcpNamespaceTest.moc"
