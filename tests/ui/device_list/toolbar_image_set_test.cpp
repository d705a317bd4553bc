#include <QTest>

#include "ui/device_list/toolbar_image_set.h"

using tarrowind::ToolbarImageSet;

namespace {

QImage Picture(QImage::Format format)
{
    QImage image(32, 32, format);
    image.fill(qRgba(10, 20, 30, 255));
    return image;
}

QRgb At(const ToolbarImageSet& set, int list, int x)
{
    return set.GetList(list)->back().pixel(x, 0);
}

}  // namespace

class ToolbarImageSetTest : public QObject {
    Q_OBJECT

private slots:
    void alphaPicturesKeepTheirAlphaAndGetTheGammas();
    void picturesWithoutAlphaUseTheMaskColour();
    void singleListAndRefusals();
    void builtInPictures();
    void builtInPicturesAtTwiceTheDensity();
};

void ToolbarImageSetTest::alphaPicturesKeepTheirAlphaAndGetTheGammas()
{
    ToolbarImageSet set;
    QCOMPARE(set.ImageSize(), QSize(-1, -1));
    QCOMPARE(set.Create(32, 32, 1, 0), 1);
    QCOMPARE(set.ColorDepth(), 32);
    QImage picture = Picture(QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(40, 80, 120, 0));     // fully transparent
    picture.setPixel(1, 0, qRgba(255, 255, 255, 255));  // white
    picture.setPixel(2, 0, qRgba(128, 128, 128, 255));  // mid-grey
    picture.setPixel(3, 0, qRgba(255, 0, 0, 255));      // pure red
    picture.setPixel(4, 0, qRgba(128, 128, 128, 128));  // half transparent
    picture.setPixel(5, 0, qRgba(192, 192, 192, 255));  // the mask colour means nothing with alpha
    QCOMPARE(set.AddImage(picture), 1);

    for (const int list : {ToolbarImageSet::kNormal, ToolbarImageSet::kHot, ToolbarImageSet::kDisabled}) {
        QCOMPARE(qAlpha(At(set, list, 0)), 0);
        QCOMPARE(qAlpha(At(set, list, 4)), 128);
        QCOMPARE(qAlpha(At(set, list, 5)), 255);
    }
    QCOMPARE(At(set, ToolbarImageSet::kNormal, 2), qRgba(128, 128, 128, 255));
    QCOMPARE(At(set, ToolbarImageSet::kHot, 1), qRgba(255, 255, 255, 255));
    QCOMPARE(At(set, ToolbarImageSet::kDisabled, 1), qRgba(255, 255, 255, 255));
    QCOMPARE(At(set, ToolbarImageSet::kHot, 2), qRgba(97, 97, 97, 255));
    QCOMPARE(At(set, ToolbarImageSet::kDisabled, 2), qRgba(180, 180, 180, 255));
    QCOMPARE(At(set, ToolbarImageSet::kDisabled, 3), qRgba(139, 139, 139, 255));
    QCOMPARE(At(set, ToolbarImageSet::kHot, 3), qRgba(255, 0, 0, 255));
    QCOMPARE(At(set, ToolbarImageSet::kHot, 4), qRgba(97, 97, 97, 128));
    QCOMPARE(At(set, ToolbarImageSet::kDisabled, 5), qRgba(221, 221, 221, 255));

    const QIcon icon = set.Icon(0);
    QCOMPARE(icon.pixmap(32, QIcon::Active).toImage().pixel(2, 0), qRgba(97, 97, 97, 255));
    QCOMPARE(icon.pixmap(32, QIcon::Disabled).toImage().pixel(2, 0), qRgba(180, 180, 180, 255));
}

void ToolbarImageSetTest::picturesWithoutAlphaUseTheMaskColour()
{
    ToolbarImageSet set;
    QCOMPARE(set.Create(32, 32, 1, 0), 1);
    QImage picture = Picture(QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(192, 192, 192));
    picture.setPixel(1, 0, qRgb(128, 128, 128));
    picture.setPixel(2, 0, qRgb(192, 192, 193));
    QImage picture2x = picture.scaled(64, 64);
    picture2x.setPixel(63, 63, qRgb(192, 192, 192));
    QCOMPARE(set.AddImage(picture, picture2x), 1);
    QCOMPARE(qAlpha(set.GetList(ToolbarImageSet::kHot, 2)->back().pixel(63, 63)), 0);
    QCOMPARE(set.GetList(ToolbarImageSet::kHot, 2)->back().pixel(2, 1), qRgba(97, 97, 97, 255));
    for (const int list : {ToolbarImageSet::kNormal, ToolbarImageSet::kHot, ToolbarImageSet::kDisabled}) {
        QCOMPARE(qAlpha(At(set, list, 0)), 0);
        QCOMPARE(qAlpha(At(set, list, 1)), 255);
    }
    QCOMPARE(At(set, ToolbarImageSet::kDisabled, 1), qRgba(180, 180, 180, 255));
    QCOMPARE(At(set, ToolbarImageSet::kHot, 1), qRgba(97, 97, 97, 255));
    QCOMPARE(At(set, ToolbarImageSet::kHot, 2), qRgba(171, 171, 172, 255));  // close is not the mask
}

void ToolbarImageSetTest::singleListAndRefusals()
{
    ToolbarImageSet set;
    QCOMPARE(set.AddBitmap(ToolbarImageSet::kBitmapSearch), 0);  // before Create
    QCOMPARE(set.AddImage(Picture(QImage::Format_ARGB32)), 0);
    QCOMPARE(set.Create(0, 32, 1, 0), 0);

    QCOMPARE(set.Create(32, 32, 0, 4), 1);
    QCOMPARE(set.ColorDepth(), 4);
    QVERIFY(set.GetList(ToolbarImageSet::kHot) == nullptr);
    QVERIFY(set.GetList(ToolbarImageSet::kDisabled) == nullptr);
    QImage picture = Picture(QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(192, 192, 192));
    QCOMPARE(set.AddImage(picture), 1);
    QCOMPARE(qAlpha(At(set, ToolbarImageSet::kNormal, 0)), 0);
    QCOMPARE(At(set, ToolbarImageSet::kNormal, 1), qRgba(10, 20, 30, 255));

    // Create again drops what was there.
    QCOMPARE(set.Create(32, 32, 1, 0), 1);
    QCOMPARE(set.Count(), 0);
    QCOMPARE(set.AddImage(QImage(16, 16, QImage::Format_ARGB32)), 0);
    QCOMPARE(set.AddImage(Picture(QImage::Format_ARGB32), Picture(QImage::Format_ARGB32)), 0);  // not 64
    QCOMPARE(set.AddBitmap(999), 0);
    QCOMPARE(set.Count(), 0);
    QVERIFY(set.GetList(3) == nullptr);
    QVERIFY(set.GetList(-1) == nullptr);
    QVERIFY(set.GetList(ToolbarImageSet::kNormal, 3) == nullptr);
}

void ToolbarImageSetTest::builtInPictures()
{
    ToolbarImageSet set;
    QCOMPARE(set.Create(32, 32, 1, 0), 1);
    const int order[] = {132, 133, 140, 134, 144, 135, 136, 137, 139, 143};
    for (const int bitmap : order) {
        QVERIFY2(set.AddBitmap(bitmap) == 1, qPrintable(QString::number(bitmap)));
    }
    QCOMPARE(set.Count(), 10);
    for (const int list : {ToolbarImageSet::kNormal, ToolbarImageSet::kHot, ToolbarImageSet::kDisabled}) {
        QCOMPARE(set.GetList(list)->size(), std::size_t{10});
    }
    // Drawn with alpha: the corners are see-through, and no two pictures are alike.
    for (int i = 0; i < set.Count(); ++i) {
        QCOMPARE(qAlpha(set.GetList(ToolbarImageSet::kNormal)->at(static_cast<std::size_t>(i)).pixel(0, 0)), 0);
        for (int j = 0; j < i; ++j) {
            QVERIFY(set.GetList(0)->at(static_cast<std::size_t>(i)) != set.GetList(0)->at(static_cast<std::size_t>(j)));
        }
    }
    const QIcon application = tarrowind::ApplicationIcon();
    QVERIFY(application.availableSizes().contains(QSize(256, 256)));
    QVERIFY(!QImage(ToolbarImageSet::ResourcePath(ToolbarImageSet::kIconApplication)).isNull());
}

void ToolbarImageSetTest::builtInPicturesAtTwiceTheDensity()
{
    ToolbarImageSet set;
    QCOMPARE(set.Create(32, 32, 1, 0), 1);
    const int order[] = {132, 133, 140, 134, 144, 135, 136, 137, 139, 143};
    for (const int bitmap : order) {
        QCOMPARE(set.AddBitmap(bitmap), 1);
    }
    const auto premultiplied = [](const QImage& image) {
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    for (std::size_t i = 0; i < std::size(order); ++i) {
        const QString which = QString::number(order[i]);
        const QImage& normal = set.GetList(ToolbarImageSet::kNormal, 2)->at(i);
        const QImage& hot = set.GetList(ToolbarImageSet::kHot, 2)->at(i);
        const QImage& disabled = set.GetList(ToolbarImageSet::kDisabled, 2)->at(i);
        QCOMPARE(normal.size(), QSize(64, 64));
        QCOMPARE(hot.size(), QSize(64, 64));
        QCOMPARE(disabled.size(), QSize(64, 64));
        // Drawn at 64 pixels, not the small picture blown up.
        QVERIFY2(normal == QImage(ToolbarImageSet::ResourcePath(order[i], 2)).convertToFormat(normal.format()),
                 qPrintable(which));
        int opaque = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const QRgb p = normal.pixel(x, y);
                const int grey = ToolbarImageSet::DisabledGrey(qRed(p), qGreen(p), qBlue(p));
                QCOMPARE(hot.pixel(x, y), qRgba(ToolbarImageSet::HotChannel(qRed(p)), ToolbarImageSet::HotChannel(qGreen(p)),
                                                ToolbarImageSet::HotChannel(qBlue(p)), qAlpha(p)));
                QCOMPARE(disabled.pixel(x, y), qRgba(grey, grey, grey, qAlpha(p)));
                opaque += qAlpha(p) == 255 ? 1 : 0;
            }
        }
        QVERIFY2(opaque > 64, qPrintable(which));  // something is drawn

        // A screen of twice the density gets the large looks; an ordinary screen the small ones.
        const QIcon icon = set.Icon(static_cast<int>(i));
        const std::pair<int, QIcon::Mode> looks[] = {
            {ToolbarImageSet::kNormal, QIcon::Normal}, {ToolbarImageSet::kHot, QIcon::Active},
            {ToolbarImageSet::kDisabled, QIcon::Disabled}};
        for (const auto& [list, mode] : looks) {
            const QPixmap dense = icon.pixmap(QSize(32, 32), 2.0, mode);
            QCOMPARE(dense.devicePixelRatio(), 2.0);
            QVERIFY2(premultiplied(dense.toImage()) == premultiplied(set.GetList(list, 2)->at(i)), qPrintable(which));
            QVERIFY2(premultiplied(icon.pixmap(QSize(32, 32), 1.0, mode).toImage()) ==
                         premultiplied(set.GetList(list, 1)->at(i)),
                     qPrintable(which));
        }
    }
}

QTEST_MAIN(ToolbarImageSetTest)
#include "toolbar_image_set_test.moc"
