#include "platform/sim/SimIpHelper.h"

#include "adapters/AdapterRefreshCycle.h"
#include "common/GatewayTable.h"
#include "common/Pause.h"
#include "platform/MousePointer.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualClock.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tolvane;
using namespace tolvane::test;

namespace {

class NoPointer final : public MousePointer {
public:
    void setShape(PointerShape) override {}
};

QStringList lines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QStringList toQt(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}

} // namespace

// The simulated adapters that the program's end-to-end tests and the demo run on.
class SimIpHelperTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    VirtualClock m_clock;

    QString write(const QByteArray& json)
    {
        const QString path = m_dir.filePath("adapters.json");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) < 0)
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        InstallPauseClock(&m_clock);
    }

    void readAdaptersFile_withoutAdaptersArray_givesNoAdapters()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("holds no \"adapters\" array"));
        QVERIFY(SimIpHelper::readAdaptersFile(write(R"({"adapter": []})").toStdString()).empty());
    }

    void cycle_releasesAndRenewsDhcpAdaptersOnly()
    {
        const QString adapters = write(R"({"adapters": [
            {"index": 7, "description": "Simulated LAN", "ip": "127.0.0.1",
             "gateway": "127.0.0.1:8080", "dhcp": true},
            {"index": 8, "description": "Fixed", "ip": "127.0.0.2", "gateway": "", "dhcp": false},
            {"index": 9, "description": "Fixed with gateway", "ip": "127.0.0.3",
             "gateway": "127.0.0.9", "dhcp": false}
        ]})");
        const QString log = m_dir.filePath("calls.log");
        qputenv("TOLVANE_ADAPTERS", adapters.toUtf8());
        qputenv("TOLVANE_ADAPTERS_LOG", log.toUtf8());
        const std::unique_ptr<IpHelper> ip = makeIpHelper();
        qunsetenv("TOLVANE_ADAPTERS");
        qunsetenv("TOLVANE_ADAPTERS_LOG");
        auto* sim = dynamic_cast<SimIpHelper*>(ip.get());
        QVERIFY(sim);

        NoPointer pointer;
        RecordingMessageBoxes boxes;
        GatewayTable table;
        AdapterRefreshCycle(*ip, pointer, boxes, table);

        const QStringList calls{"startup 0x0101 0", "release 7 0", "release 8 50", "release 9 50",
                                "renew 7 0",        "renew 8 50",  "renew 9 50",   "cleanup 0"};
        QCOMPARE(toQt(sim->calls()), calls);
        QCOMPARE(lines(log), calls);
        QCOMPARE(table.GatewayCount, 2);
        QCOMPARE(table.GatewayAddresses[0], "127.0.0.1:8080");
        QCOMPARE(table.GatewayAddresses[1], "127.0.0.9");
    }

    void release_hidesAddressAndGatewayUntilRenewed()
    {
        SimIpHelper sim({{7, "LAN", "192.168.1.5", "192.168.1.1", true}});
        IpAdapterIndexMap entry;
        entry.Index = 7;
        IpAdapterInfo record;
        std::uint32_t count = 1;

        QCOMPARE(sim.ipReleaseAddress(entry), NO_ERROR);
        QCOMPARE(sim.getAdaptersInfo(&record, &count), NO_ERROR);
        QCOMPARE(std::string(record.IpAddress.data()), "0.0.0.0");
        QCOMPARE(std::string(record.GatewayAddress.data()), "");

        QCOMPARE(sim.ipRenewAddress(entry), NO_ERROR);
        QCOMPARE(sim.getAdaptersInfo(&record, &count), NO_ERROR);
        QCOMPARE(std::string(record.IpAddress.data()), "192.168.1.5");
        QCOMPARE(std::string(record.GatewayAddress.data()), "192.168.1.1");
    }
};

QTEST_GUILESS_MAIN(SimIpHelperTest)
#include "SimIpHelperTest.moc"
