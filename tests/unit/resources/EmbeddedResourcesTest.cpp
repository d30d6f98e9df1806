#include "resources/EmbeddedResources.h"

#include <QImage>
#include <QTest>

using namespace tolvane;

namespace {

constexpr std::size_t TrailerSize = 96;
constexpr std::size_t TailSize = 2;

std::uint32_t crc32(std::span<const std::byte> bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::byte b : bytes) {
        crc ^= std::to_integer<std::uint32_t>(b);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t le(std::span<const std::byte> bytes, std::size_t at, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= std::to_integer<std::uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

QByteArray field(std::span<const std::byte> bytes, std::size_t at, std::size_t width)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data() + at),
                      static_cast<qsizetype>(width));
}

QByteArray padded(const char* text, qsizetype width)
{
    QByteArray result(text);
    result.append(width - result.size(), '\0');
    return result;
}

std::span<const std::byte> resource(std::int32_t number)
{
    const auto bytes = loadResource(number, ResourceTypeCustom);
    return bytes ? *bytes : std::span<const std::byte>();
}

} // namespace

class EmbeddedResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void load_givesCarriedSize_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("101 logo.bmp") << 101 << qsizetype(3430);
        QTest::newRow("102 38f.bin") << 102 << qsizetype(1184780);
        QTest::newRow("103 42.bin") << 103 << qsizetype(1334284);
        QTest::newRow("104 42Special.bin") << 104 << qsizetype(1334284);
    }
    void load_givesCarriedSize()
    {
        QFETCH(int, number);
        QFETCH(qsizetype, size);
        const auto bytes = loadResource(number, "CUSTOM");
        QVERIFY(bytes);
        QCOMPARE(qsizetype(bytes->size()), size);
    }

    void load_unknownNumberOrType_givesNothing_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("type");
        QTest::newRow("number not carried") << 105 << "CUSTOM";
        QTest::newRow("number zero") << 0 << "CUSTOM";
        QTest::newRow("type in lower case") << 101 << "custom";
        QTest::newRow("other type") << 101 << "BITMAP";
        QTest::newRow("empty type") << 101 << "";
        QTest::newRow("type leading into the tree") << 101 << "CUSTOM/../CUSTOM";
    }
    void load_unknownNumberOrType_givesNothing()
    {
        QFETCH(int, number);
        QFETCH(QString, type);
        QVERIFY(!loadResource(number, type.toStdString()));
    }

    void logo_loadsAsPicture()
    {
        const auto bytes = resource(101);
        const QImage logo = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                             int(bytes.size()), "BMP");
        QVERIFY(!logo.isNull());
        QCOMPARE(logo.size(), QSize(112, 21));
        QCOMPARE(logo.colorCount(), 256);
        int lettering = 0;
        for (int y = 0; y < logo.height(); ++y)
            for (int x = 0; x < logo.width(); ++x)
                lettering += logo.pixel(x, y) == qRgb(255, 255, 255);
        QVERIFY2(lettering > 200, "the logo shows no lettering");
    }

    void firmware_endsWithTrailerDescribingIt_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<QByteArray>("variant");
        QTest::newRow("102 0.38f") << 102 << QByteArray("0.38f") << QByteArray("STD");
        QTest::newRow("103 0.42") << 103 << QByteArray("0.42") << QByteArray("STD");
        QTest::newRow("104 0.42 special") << 104 << QByteArray("0.42") << QByteArray("SPECIAL");
    }
    void firmware_endsWithTrailerDescribingIt()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, label);
        QFETCH(QByteArray, variant);
        const auto bytes = resource(number);
        QVERIFY(bytes.size() > TrailerSize + TailSize);
        const std::size_t runSize = bytes.size() - TrailerSize - TailSize;
        const auto run = bytes.first(runSize);
        const auto trailer = bytes.subspan(runSize, TrailerSize);

        QCOMPARE(field(bytes, bytes.size() - TailSize, TailSize), QByteArray("\r\n"));
        QCOMPARE(field(trailer, 0, 8), QByteArray("KVXFWTRL"));
        QCOMPARE(le(trailer, 8, 2), 1u);
        QCOMPARE(le(trailer, 10, 2), 96u);
        QCOMPARE(field(trailer, 12, 16), padded("KVX4120/07", 16));
        QCOMPARE(field(trailer, 28, 4), padded("A", 4));
        QCOMPARE(field(trailer, 32, 16), padded(label.constData(), 16));
        QCOMPARE(field(trailer, 48, 8), padded(variant.constData(), 8));
        QCOMPARE(le(trailer, 56, 4), std::uint32_t(runSize));
        QCOMPARE(le(trailer, 60, 4), crc32(run));
        QCOMPARE(field(trailer, 64, 28), QByteArray(28, '\0'));
        QCOMPARE(le(trailer, 92, 4), crc32(trailer.first(92)));
        QCOMPARE(field(run, 0, 4), QByteArray("PK\x03\x04"));
    }

    void images42_differOnlyInVariantAndTrailerCrc()
    {
        const auto standard = resource(103);
        const auto special = resource(104);
        QCOMPARE(standard.size(), special.size());
        const std::size_t trailerAt = standard.size() - TrailerSize - TailSize;
        for (std::size_t i = 0; i < standard.size(); ++i) {
            if (standard[i] == special[i])
                continue;
            const std::size_t inTrailer = i - trailerAt;
            if (i < trailerAt || !((inTrailer >= 48 && inTrailer < 56) || inTrailer >= 92) ||
                inTrailer >= TrailerSize)
                QFAIL(qPrintable(QStringLiteral("103 and 104 differ at byte %1").arg(i)));
        }
    }
};

QTEST_APPLESS_MAIN(EmbeddedResourcesTest)
#include "EmbeddedResourcesTest.moc"
