#include "ui/device_list/toolbar_image_set.h"

#include <QPixmap>

#include <array>
#include <cmath>
#include <utility>

// Outside any namespace, as Q_INIT_RESOURCE requires; the resources live in a static library, so
// nothing would pull them into the program without this call.
static void InitToolbarArtwork()
{
    Q_INIT_RESOURCE(toolbar);
}

namespace tarrowind {

namespace {

constexpr std::array<int, 7> kApplicationIconSizes = {16, 24, 32, 48, 64, 128, 256};

QRgb WithGrey(QRgb pixel, int grey)
{
    return qRgba(grey, grey, grey, qAlpha(pixel));
}

bool IsMaskColor(QRgb pixel)
{
    return (pixel & 0x00FFFFFFu) == (ToolbarImageSet::kMaskColor & 0x00FFFFFFu);
}

// The picture as 32-bit ARGB with `map` applied to each pixel; with `masked`, pixels of the mask colour
// stay as they are.
template <typename Map>
QImage MapPixels(const QImage& picture, bool masked, Map map)
{
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (!(masked && IsMaskColor(line[x]))) {
                line[x] = map(line[x]);
            }
        }
    }
    return image;
}

}  // namespace

ToolbarImageSet::ToolbarImageSet() = default;

int ToolbarImageSet::Create(int width, int height, int threeLists, int initialCount)
{
    for (Lists& lists : m_lists) {
        lists = Lists{};
    }
    m_created = false;
    if (width <= 0 || height <= 0 || initialCount < 0) {
        return 0;
    }
    // Lists without alpha (24 bits) were for toolkits that could not draw it; Qt's images always have
    // alpha, so three lists are always 32-bit.
    m_colorDepth = threeLists == 1 ? 32 : 4;
    const auto reserve = static_cast<std::size_t>(initialCount);
    for (Lists& lists : m_lists) {
        lists.normal.reserve(reserve);
        if (m_colorDepth != 4) {
            lists.hot.reserve(reserve);
            lists.disabled.reserve(reserve);
        }
    }
    m_imageSize = QSize(width, height);
    m_created = true;
    return 1;
}

int ToolbarImageSet::AddBitmap(int resourceId)
{
    if (!m_created) {
        return 0;
    }
    InitToolbarArtwork();
    const QImage picture(ResourcePath(resourceId));
    if (picture.isNull()) {
        return 0;
    }
    // A missing or misfitting picture of twice the size costs sharpness on dense screens, not the button.
    QImage picture2x(ResourcePath(resourceId, 2));
    if (picture2x.size() != m_imageSize * 2) {
        picture2x = QImage();
    }
    return AddImage(picture, picture2x);
}

int ToolbarImageSet::AddImage(const QImage& picture, const QImage& picture2x)
{
    if (!m_created || picture.isNull() || picture.size() != m_imageSize ||
        (!picture2x.isNull() && picture2x.size() != m_imageSize * 2)) {
        return 0;
    }
    AppendLooks(m_lists[0], picture);
    AppendLooks(m_lists[1], picture2x);
    return 1;
}

void ToolbarImageSet::AppendLooks(Lists& lists, const QImage& picture) const
{
    const bool threeLists = m_colorDepth != 4;
    if (picture.isNull()) {
        lists.normal.emplace_back();
        if (threeLists) {
            lists.hot.emplace_back();
            lists.disabled.emplace_back();
        }
        return;
    }
    const bool hasAlpha = picture.hasAlphaChannel();
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    if (!threeLists) {
        lists.normal.push_back(ApplyMask(source));
    } else if (hasAlpha) {
        // 32-bit picture on 32-bit lists: alpha kept, no mask.
        lists.normal.push_back(source);
        lists.disabled.push_back(MakeDisabled(source, false));
        lists.hot.push_back(MakeHot(source, false));
    } else {
        // A picture without alpha: the mask colour is left out of the arithmetic and made transparent.
        lists.normal.push_back(ApplyMask(source));
        lists.disabled.push_back(ApplyMask(MakeDisabled(source, true)));
        lists.hot.push_back(ApplyMask(MakeHot(source, true)));
    }
}

const std::vector<QImage>* ToolbarImageSet::GetList(int kind, int scale) const
{
    if (!m_created || (scale != 1 && scale != 2)) {
        return nullptr;
    }
    const Lists& lists = m_lists[scale - 1];
    switch (kind) {
    case kNormal: return &lists.normal;
    case kHot: return m_colorDepth == 4 ? nullptr : &lists.hot;
    case kDisabled: return m_colorDepth == 4 ? nullptr : &lists.disabled;
    default: return nullptr;
    }
}

QIcon ToolbarImageSet::Icon(int index) const
{
    QIcon icon;
    if (index < 0 || index >= Count()) {
        return icon;
    }
    const auto at = static_cast<std::size_t>(index);
    // Each look at both sizes: QIcon picks the one that fits the screen's pixel density, and derives a
    // look only when it has none of its own.
    for (const Lists& lists : m_lists) {
        const std::pair<const std::vector<QImage>*, QIcon::Mode> looks[] = {
            {&lists.normal, QIcon::Normal}, {&lists.hot, QIcon::Active}, {&lists.disabled, QIcon::Disabled}};
        for (const auto& [list, mode] : looks) {
            if (at < list->size() && !(*list)[at].isNull()) {
                icon.addPixmap(QPixmap::fromImage((*list)[at]), mode);
            }
        }
    }
    return icon;
}

QString ToolbarImageSet::ResourcePath(int resourceId, int scale)
{
    if (resourceId == kIconApplication) {
        return QStringLiteral(":/tarrowind/icon/%1.png").arg(resourceId);
    }
    if (scale == 2) {
        return QStringLiteral(":/tarrowind/bitmap/%1@2x.png").arg(resourceId);
    }
    return QStringLiteral(":/tarrowind/bitmap/%1.png").arg(resourceId);
}

int ToolbarImageSet::HotChannel(int value)
{
    return static_cast<int>(255.0 * std::pow(value / 255.0, 1.4));
}

int ToolbarImageSet::DisabledGrey(int red, int green, int blue)
{
    const double luminance = 0.299 * red + 0.587 * green + 0.114 * blue;
    return static_cast<int>(255.0 * std::pow(luminance / 255.0, 0.5));
}

QImage ToolbarImageSet::MakeHot(const QImage& picture, bool masked)
{
    std::array<int, 256> table{};  // the same arithmetic, once per channel value
    for (int value = 0; value < 256; ++value) {
        table[static_cast<std::size_t>(value)] = HotChannel(value);
    }
    const auto hot = [&](int value) { return table[static_cast<std::size_t>(value)]; };
    return MapPixels(picture, masked, [&](QRgb pixel) {
        return qRgba(hot(qRed(pixel)), hot(qGreen(pixel)), hot(qBlue(pixel)), qAlpha(pixel));
    });
}

QImage ToolbarImageSet::MakeDisabled(const QImage& picture, bool masked)
{
    return MapPixels(picture, masked,
                     [](QRgb pixel) { return WithGrey(pixel, DisabledGrey(qRed(pixel), qGreen(pixel), qBlue(pixel))); });
}

QImage ToolbarImageSet::ApplyMask(const QImage& picture)
{
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (IsMaskColor(line[x])) {
                line[x] = qRgba(192, 192, 192, 0);
            }
        }
    }
    return image;
}

QIcon ApplicationIcon()
{
    InitToolbarArtwork();
    QIcon icon;
    for (const int size : kApplicationIconSizes) {
        icon.addFile(QStringLiteral(":/tarrowind/icon/%1-%2.png").arg(ToolbarImageSet::kIconApplication).arg(size),
                     QSize(size, size));
    }
    return icon;
}

}  // namespace tarrowind
