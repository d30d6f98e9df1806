#include "adapters/IPReleaseRenew.h"

#include "FakeIpHelper.h"

#include <QtTest>

#include <limits>

using namespace tolvane;
using namespace tolvane::test;

namespace {
constexpr qint64 Unset = std::numeric_limits<qint64>::min();
}

// ReleaseIP and RenewIP walk the interface table the same way; every row runs both.
class IPReleaseRenewTest : public QObject {
    Q_OBJECT

private slots:
    void leaseCall_followsTheInterfaceTable_data()
    {
        QTest::addColumn<QList<quint32>>("interfaces");
        QTest::addColumn<QList<quint32>>("answers");
        QTest::addColumn<qint64>("firstAnswer");
        QTest::addColumn<qint64>("secondAnswer");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("calls");

        QTest::newRow("matching interface succeeds")
            << QList<quint32>{3, 7} << QList<quint32>{} << Unset << Unset << Unset << true << 1;
        QTest::newRow("matching interface fails")
            << QList<quint32>{7} << QList<quint32>{ERROR_NOT_SUPPORTED} << Unset << Unset << Unset
            << false << 1;
        QTest::newRow("no interface matches")
            << QList<quint32>{3, 5} << QList<quint32>{} << Unset << Unset << Unset << false << 0;
        QTest::newRow("no interfaces at all")
            << QList<quint32>{} << QList<quint32>{} << Unset << Unset << Unset << false << 0;
        QTest::newRow("first query answers 0")
            << QList<quint32>{7} << QList<quint32>{} << qint64(0) << Unset << Unset << false << 0;
        QTest::newRow("second query fails")
            << QList<quint32>{7} << QList<quint32>{} << Unset << qint64(ERROR_INSUFFICIENT_BUFFER)
            << Unset << false << 0;
        QTest::newRow("count 0") << QList<quint32>{7} << QList<quint32>{} << Unset << Unset
                                 << qint64(0) << false << 0;
        QTest::newRow("negative count")
            << QList<quint32>{7} << QList<quint32>{} << Unset << Unset << qint64(-1) << false << 0;
        QTest::newRow("count beyond the block reads only the block")
            << QList<quint32>{7} << QList<quint32>{} << Unset << Unset << qint64(1000) << true << 1;
        QTest::newRow("walk goes on after a match: a later failure wins")
            << QList<quint32>{7, 7} << QList<quint32>{0, ERROR_GEN_FAILURE} << Unset << Unset
            << Unset << false << 2;
        QTest::newRow("walk goes on after a match: a later success wins")
            << QList<quint32>{7, 7} << QList<quint32>{ERROR_GEN_FAILURE, 0} << Unset << Unset
            << Unset << true << 2;
    }

    void leaseCall_followsTheInterfaceTable()
    {
        QFETCH(QList<quint32>, interfaces);
        QFETCH(QList<quint32>, answers);
        QFETCH(qint64, firstAnswer);
        QFETCH(qint64, secondAnswer);
        QFETCH(qint64, count);
        QFETCH(bool, result);
        QFETCH(int, calls);

        for (const bool renew : {false, true}) {
            std::vector<std::string> log;
            FakeIpHelper ip(log);
            ip.interfaceIndexes = std::vector<std::uint32_t>(interfaces.begin(), interfaces.end());
            ip.leaseAnswers.assign(answers.begin(), answers.end());
            if (firstAnswer != Unset)
                ip.firstTableAnswer = static_cast<std::uint32_t>(firstAnswer);
            if (secondAnswer != Unset)
                ip.secondTableAnswer = static_cast<std::uint32_t>(secondAnswer);
            if (count != Unset)
                ip.tableCount = static_cast<std::int32_t>(count);

            QCOMPARE(renew ? RenewIP(ip, 7) : ReleaseIP(ip, 7), result);
            const std::vector<std::string> expected(calls, renew ? "renew 7" : "release 7");
            QCOMPARE(log, expected);
        }
    }
};

QTEST_APPLESS_MAIN(IPReleaseRenewTest)
#include "IPReleaseRenewTest.moc"
