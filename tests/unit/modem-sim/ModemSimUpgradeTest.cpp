#include "ModemSimHarness.h"
#include "resources/EmbeddedResources.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace modemsimtest;

namespace {

enum class Image { Std38f, Std42, Special42 };

std::string imageOf(Image image)
{
    switch (image) {
    case Image::Std38f:
        return image38f();
    case Image::Std42:
        return image42();
    case Image::Special42:
        return image42Special();
    }
    return {};
}

std::string versionNumberShown(httplib::Client& client)
{
    if (!login(client))
        return "<no login>";
    const std::string text = tagValue(getPage(client, "/status_main.stm"), "runtime_code_version=");
    return text.substr(0, text.find(" ("));
}

bool refused(httplib::Client& client)
{
    return !client.Get("/login.stm");
}

} // namespace

Q_DECLARE_METATYPE(Image)

class ModemSimUpgradeTest final : public QObject {
    Q_OBJECT

private slots:
    void upload_followsUpgradePath_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<Image>("image");
        QTest::addColumn<QString>("after");
        QTest::newRow("0.38f from an old version") << "0.30" << Image::Std38f << "0.38f";
        QTest::newRow("0.38f from 0.39k") << "0.39k" << Image::Std38f << "0.38f";
        QTest::newRow("0.38f from 0.42") << "0.42" << Image::Std38f << "0.38f";
        QTest::newRow("0.42 from 0.38f") << "0.38f" << Image::Std42 << "0.42";
        QTest::newRow("0.42 from 0.39k") << "0.39k" << Image::Std42 << "0.42";
        QTest::newRow("0.42 from 0.4") << "0.4" << Image::Std42 << "0.42";
        QTest::newRow("0.42 from 0.39") << "0.39" << Image::Std42 << "0.39";
        QTest::newRow("0.42 from 0.39a") << "0.39a" << Image::Std42 << "0.39a";
        QTest::newRow("0.42 from 0.38g") << "0.38g" << Image::Std42 << "0.38g";
        QTest::newRow("0.42 from 0.100") << "0.100" << Image::Std42 << "0.100";
        QTest::newRow("special from 0.39a") << "0.39a" << Image::Special42 << "0.42";
        QTest::newRow("special from 0.39j") << "0.39j" << Image::Special42 << "0.42";
        QTest::newRow("special from 0.39") << "0.39" << Image::Special42 << "0.39";
        QTest::newRow("special from 0.39k") << "0.39k" << Image::Special42 << "0.39k";
        QTest::newRow("special from 0.38f") << "0.38f" << Image::Special42 << "0.38f";
    }

    void upload_followsUpgradePath()
    {
        QFETCH(QString, from);
        QFETCH(Image, image);
        QFETCH(QString, after);
        SimOptions options = instantOptions();
        options.versionText = from.toStdString() + " (Oct  3 2005)";
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));

        const auto answer = upload(*client, imageOf(image));
        QVERIFY(answer);
        QCOMPARE(answer->body.find("failed") == std::string::npos, after != from);
        QCOMPARE(QString::fromStdString(versionNumberShown(*client)), after);
    }

    void upload_refusesDamagedImages_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const std::string good = image42();
        const auto bytes = [](const std::string& s) {
            return QByteArray(s.data(), s.size());
        };
        std::string flippedArchive = good;
        flippedArchive[100] ^= 0x01;
        std::string flippedTrailer = good;
        flippedTrailer[good.size() - 96 + 40] ^= 0x01;
        std::string wrongLength = good;
        putLittleEndian(wrongLength, good.size() - 96 + 56, 2999, 4);
        putLittleEndian(wrongLength, good.size() - 4,
                        crc32Of(wrongLength.substr(good.size() - 96, 92)), 4);
        QTest::newRow("resource with its CR LF") << bytes(good + "\r\n") << "no trailer";
        QTest::newRow("first byte missing") << bytes(good.substr(1)) << "length";
        QTest::newRow("archive byte changed") << bytes(flippedArchive) << "checksum";
        QTest::newRow("trailer byte changed") << bytes(flippedTrailer) << "damaged trailer";
        QTest::newRow("length field wrong") << bytes(wrongLength) << "length";
        QTest::newRow("other model") << bytes(makeImage({"0.42", "STD", "KVX4120/05"})) << "model";
        QTest::newRow("annex B image")
            << bytes(makeImage({"0.42", "STD", "KVX4120/07", "B"})) << "annex";
        QTest::newRow("unknown label") << bytes(makeImage({"0.43", "STD"})) << "unknown image";
        QTest::newRow("shorter than a trailer") << bytes(good.substr(good.size() - 95)) << "short";
        QTest::newRow("empty file") << QByteArray() << "no firmware file";
    }

    void upload_refusesDamagedImages()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        SimOptions options = instantOptions();
        options.stateFile = folder.filePath("state.json").toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));

        QVERIFY(upload(*client, file.toStdString()));
        const QJsonObject state = readState(folder.filePath("state.json"));
        const QJsonArray rejected = state["uploads"]["rejected"].toArray();
        QCOMPARE(rejected.size(), 1);
        QVERIFY2(rejected[0]["reason"].toString().contains(reason),
                 qPrintable(rejected[0]["reason"].toString()));
        QCOMPARE(state["version"].toString().toStdString(), options.versionText);
    }

    void realImages_takenOnTheirPath_data()
    {
        QTest::addColumn<int>("resource");
        QTest::addColumn<int>("cut");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("after");
        QTest::newRow("102 from 0.39") << tolvane::Resource38f << 2 << "0.39"
                                       << "0.38f";
        QTest::newRow("103 from 0.38f") << tolvane::Resource42 << 2 << "0.38f"
                                        << "0.42";
        QTest::newRow("104 from 0.39a") << tolvane::Resource42Special << 2 << "0.39a"
                                        << "0.42";
        QTest::newRow("104 from 0.39k") << tolvane::Resource42Special << 2 << "0.39k"
                                        << "0.39k";
        QTest::newRow("103 with its CR LF") << tolvane::Resource42 << 0 << "0.38f"
                                            << "0.38f";
    }

    void realImages_takenOnTheirPath()
    {
        QFETCH(int, resource);
        QFETCH(int, cut);
        QFETCH(QString, from);
        QFETCH(QString, after);
        const auto bytes = tolvane::loadResource(resource, tolvane::ResourceTypeCustom);
        QVERIFY(bytes);
        const std::string file(reinterpret_cast<const char*>(bytes->data()), bytes->size() - cut);
        SimOptions options = instantOptions();
        options.versionText = from.toStdString() + " (Oct  3 2005)";
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));

        QVERIFY(upload(*client, file));
        QCOMPARE(QString::fromStdString(versionNumberShown(*client)), after);
    }

    void kernelUpload_writesThenRestartsThenShowsNewVersion()
    {
        QTemporaryDir folder;
        SimOptions options = instantOptions();
        // 2 s and 1 s: wide enough to be seen by polling on a loaded machine.
        options.writeSeconds = 200;
        options.restartSeconds = 100;
        options.timeScale = 0.01;
        options.stateFile = folder.filePath("state.json").toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));

        const auto answer = upload(*client, image42());
        QVERIFY(answer && answer->status == 200);
        QCOMPARE(readState(folder.filePath("state.json"))["phase"].toString(), "writing");
        QCOMPARE(client->Get("/status_main.stm")->status, 503);
        QVERIFY(waitUntil([&] { return refused(*client); }));
        QVERIFY(waitUntil([&] { return !refused(*client); }));

        QVERIFY(getPage(*client, "/status_main.stm").find("name=\"pws\"") != std::string::npos);
        QCOMPARE(versionNumberShown(*client), std::string("0.42"));
        const QJsonObject state = readState(folder.filePath("state.json"));
        QCOMPARE(state["version"].toString(), "0.42 (Mar 14 2006)");
        QCOMPARE(state["phase"].toString(), "running");
        QCOMPARE(state["restarts"].toInt(), 1);
    }

    void miniKernel_upgradesThroughSaveAndRestart()
    {
        QTemporaryDir folder;
        SimOptions options = instantOptions();
        options.mode = SimMode::Mini;
        options.versionText = "0.39 (Jul  1 2005)";
        options.writeSeconds = 30;
        options.restartSeconds = 100;
        options.timeScale = 0.01;
        options.stateFile = folder.filePath("state.json").toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);

        QVERIFY(upload(*client, image38f()));
        QVERIFY(waitUntil([&] {
            return getPage(*client, "/tools_save_restart.htm").find("type=\"submit\"") !=
                   std::string::npos;
        }));
        QVERIFY(getPage(*client, "/login.stm").find("Velmora") == std::string::npos);
        const auto restart =
            client->Post("/save_restart.cgi", httplib::Params{{"action", "save_restart"}});
        QVERIFY(restart && restart->status == 200);
        QVERIFY(waitUntil([&] { return refused(*client); }));
        QVERIFY(waitUntil([&] { return !refused(*client); }));

        QVERIFY(getPage(*client, "/login.stm").find("Velmora") != std::string::npos);
        QCOMPARE(versionNumberShown(*client), std::string("0.38f"));
        const QJsonObject state = readState(folder.filePath("state.json"));
        QCOMPARE(state["mode"].toString(), "kernel");
        QCOMPARE(state["saveRestarts"].toInt(), 1);
    }

    void stateFile_recordsLoginsUploadsAndRequests()
    {
        QTemporaryDir folder;
        SimOptions options = instantOptions();
        options.stateFile = folder.filePath("state.json").toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);

        QVERIFY(!login(*client, "guess"));
        QVERIFY(login(*client));
        QVERIFY(upload(*client, image42Special()));
        QVERIFY(login(*client));
        QVERIFY(upload(*client, image42()));

        const QJsonObject state = readState(folder.filePath("state.json"));
        QCOMPARE(state["requests"].toInt(), 5);
        QCOMPARE(state["logins"]["refused"].toInt(), 1);
        QCOMPARE(state["logins"]["accepted"].toInt(), 2);
        const QJsonObject rejected = state["uploads"]["rejected"][0].toObject();
        QCOMPARE(rejected["label"].toString(), "0.42");
        QCOMPARE(rejected["variant"].toString(), "SPECIAL");
        QVERIFY(rejected["reason"].toString().contains("upgrade path"));
        const QJsonObject accepted = state["uploads"]["accepted"][0].toObject();
        QCOMPARE(accepted["size"].toInteger(), qint64(image42().size()));
        QCOMPARE(accepted["variant"].toString(), "STD");
        QCOMPARE(state["version"].toString(), "0.42 (Mar 14 2006)");
    }
};

QTEST_GUILESS_MAIN(ModemSimUpgradeTest)
#include "ModemSimUpgradeTest.moc"
