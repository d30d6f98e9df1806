#include "resources/EmbeddedResources.h"

#include "ImageTrailer.h"

#include <QFile>
#include <QTest>

using namespace tolvane;

class EmbeddedResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void resource_carriesItsFileExactly_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("file");
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<QString>("image"); // what the modem reads in its trailer
        QTest::newRow("101 logo") << 101 << "logo.bmp" << qsizetype(3430) << QString();
        QTest::newRow("102 0.38f") << 102 << "38f.bin" << qsizetype(1184780) << "0.38f STD";
        QTest::newRow("103 0.42") << 103 << "42.bin" << qsizetype(1334284) << "0.42 STD";
        QTest::newRow("104 0.42 special")
            << 104 << "42Special.bin" << qsizetype(1334284) << "0.42 SPECIAL";
    }
    void resource_carriesItsFileExactly()
    {
        QFETCH(int, number);
        QFETCH(QString, file);
        QFETCH(qsizetype, size);
        QFETCH(QString, image);
        const auto resource =
            loadResource(number, ResourceTypeCustom).value_or(std::span<const std::byte>());
        const std::string_view bytes(reinterpret_cast<const char*>(resource.data()),
                                     resource.size());
        QCOMPARE(qsizetype(bytes.size()), size);
        QFile source(QStringLiteral(TOLVANE_RESOURCE_DIR "/") + file);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray content = source.readAll();
        QVERIFY2(bytes == content.toStdString(), "the bytes differ from the source file");
        if (image.isEmpty())
            return;
        // The program writes all but the last two bytes; that file is what the modem checks.
        const modemsim::ImageCheck check = modemsim::checkImage(bytes.substr(0, size - 2), "A");
        QVERIFY2(check.valid, check.reason.c_str());
        QCOMPARE(QString::fromStdString(check.label + " " + check.variant), image);
    }

    void load_unknownNumberOrType_givesNothing()
    {
        QVERIFY(!loadResource(105, ResourceTypeCustom) && !loadResource(101, "custom") &&
                !loadResource(101, "CUSTOM/../CUSTOM"));
    }
};

QTEST_APPLESS_MAIN(EmbeddedResourcesTest)
#include "EmbeddedResourcesTest.moc"
