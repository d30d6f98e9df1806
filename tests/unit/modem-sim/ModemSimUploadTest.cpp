#include "resources/EmbeddedResources.h"
#include "support/StandInModem.h"

#include <QJsonArray>
#include <QTest>

#include <httplib.h>

using namespace tolvane;

// The stand-in modem's upgrade path and image check, which the program's own tests rely on to
// refuse a wrong or damaged image; they exercise everything else it does.
class ModemSimUploadTest final : public QObject {
    Q_OBJECT

private slots:
    void upload_takesOnlyAnIntactImageOnItsPath_data()
    {
        QTest::addColumn<int>("resource");
        QTest::addColumn<int>("flipped"); // a byte changed: 0 for none, below 0 from the end
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("refusal"); // empty when taken
        const auto row = [](const char* name, int resource, int flipped, const char* from,
                            const char* refusal) {
            QTest::newRow(name) << resource << flipped << QString(from) << QString(refusal);
        };
        row("42.bin from 0.39", Resource42, 0, "0.39", "upgrade path");
        row("special from 0.39a", Resource42Special, 0, "0.39a", "");
        row("special from 0.39k", Resource42Special, 0, "0.39k", "upgrade path");
        row("trailer byte 40 changed", Resource42, -56, "0.38f", "damaged trailer");
        row("archive byte changed", Resource42, 100, "0.38f", "checksum");
    }
    void upload_takesOnlyAnIntactImageOnItsPath()
    {
        QFETCH(int, resource);
        QFETCH(int, flipped);
        QFETCH(QString, from);
        QFETCH(QString, refusal);
        const auto carried = loadResource(resource, ResourceTypeCustom);
        QVERIFY(carried);
        // The program uploads the resource without its last two bytes, a CR LF.
        std::string image(reinterpret_cast<const char*>(carried->data()), carried->size() - 2);
        if (flipped != 0)
            image[flipped > 0 ? std::size_t(flipped) : image.size() - std::size_t(-flipped)] ^= 1;
        test::StandInModem modem(test::StandInModem::instantOptions(
            [&](auto& o) { o.versionText = from.toStdString() + " (Oct 3 2005)"; }));
        httplib::Client client(modem.address());
        QVERIFY(client.Post("/login.cgi", httplib::Params{{"username", "root"}, {"pws", "admin"}}));
        QVERIFY(client.Post("/upgrade.cgi",
                            httplib::MultipartFormDataItems{{"webUpload", image, "f.bin", ""}}));

        const QJsonArray rejected = modem.state()["uploads"].toObject()["rejected"].toArray();
        QCOMPARE(rejected.size(), refusal.isEmpty() ? 0 : 1);
        QVERIFY(refusal.isEmpty() || rejected[0].toObject()["reason"].toString().contains(refusal));
        QCOMPARE(modem.state()["version"].toString().startsWith(from), !refusal.isEmpty());
    }
};

QTEST_GUILESS_MAIN(ModemSimUploadTest)
#include "ModemSimUploadTest.moc"
