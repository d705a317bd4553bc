#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

namespace tarrowind {

// The toolbar's three looks of every button: the picture as drawn, a hot look (darker and
// more saturated, gamma 1.4 per channel) and a disabled look (grey, lightened, gamma 0.5 on the
// luminance), derived by colour arithmetic from one picture per button. Image n of each list belongs to
// the same button.
//
// Beside the lists of the image size there are lists of twice that size, for screens of twice the
// density: the same arithmetic on a picture drawn at that size, so such screens get sharp art instead of
// an upscale. Their image n is null for a button that has no picture of twice the size.
//
// Qt images always carry alpha, so three lists are always 32-bit and 32-bit pictures keep their alpha.
// Pictures without alpha (24-bit) take the mask-colour path: RGB(192, 192, 192) is transparent and is
// left out of the arithmetic. A blend with the button-face colour would only serve 32-bit
// pictures on lists without alpha, which Qt never makes, and is not carried over.
class ToolbarImageSet {
public:
    enum ListKind : int { kNormal = 0, kHot = 1, kDisabled = 2 };

    // The bitmap resources of the ten toolbar pictures, and the application icon.
    static constexpr int kBitmapSearch = 132;
    static constexpr int kBitmapStop = 133;
    static constexpr int kBitmapSetting = 134;
    static constexpr int kBitmapReboot = 135;
    static constexpr int kBitmapDefault = 136;
    static constexpr int kBitmapFirmwareUpdate = 137;
    static constexpr int kBitmapFirmwareUpdateToLatest = 139;
    static constexpr int kBitmapSetLogin = 140;
    static constexpr int kBitmapCancelQueueItems = 143;
    static constexpr int kBitmapAdvancedSetting = 144;
    static constexpr int kIconApplication = 128;

    static constexpr QRgb kMaskColor = 0xFFC0C0C0;  // RGB(192, 192, 192)

    ToolbarImageSet();

    // Makes the lists for images of width × height: with threeLists 1 the normal, hot and disabled lists
    // (32 bits with alpha), otherwise the normal list only (depth 4, mask colour). Any previous lists are
    // dropped. 1 on success, 0 on failure (a size that is not positive).
    int Create(int width, int height, int threeLists, int initialCount);
    // Loads the bitmap resource and appends one image to each list. 0 without change before a successful
    // Create or when there is no such resource (or it is not of the image size); else 1.
    int AddBitmap(int resourceId);
    // AddBitmap's work on a picture that is already loaded, and optionally on the same picture drawn at
    // twice the size. 0 without change when either is not of its size.
    int AddImage(const QImage& picture, const QImage& picture2x = QImage());

    // The list of `kind` (kNormal, kHot, kDisabled) at `scale` 1 (the image size) or 2 (twice it); null
    // for any other kind or scale, or a list not made.
    const std::vector<QImage>* GetList(int kind, int scale = 1) const;
    // Image `index` with its normal, hot (QIcon::Active) and disabled looks, for a tool button, at the
    // image size and, where drawn, at twice it.
    QIcon Icon(int index) const;

    int ColorDepth() const { return m_colorDepth; }
    QSize ImageSize() const { return m_imageSize; }  // (-1, -1) before Create
    int Count() const { return static_cast<int>(m_lists[0].normal.size()); }

    // Where the bitmap or icon resource `resourceId` lies in the program's resources, at `scale` 1 or 2
    // (the bitmap drawn at twice its size).
    static QString ResourcePath(int resourceId, int scale = 1);

    // The colour arithmetic, on one colour channel or pixel (all in double precision, truncated).
    static int HotChannel(int value);                  // 255 × (v / 255)^1.4
    static int DisabledGrey(int red, int green, int blue);  // 255 × (L / 255)^0.5, L the luminance
    // The derived images of a picture; pixels of the mask colour stay as they are when `masked`.
    static QImage MakeHot(const QImage& picture, bool masked);
    static QImage MakeDisabled(const QImage& picture, bool masked);
    // The picture with every pixel of the mask colour made transparent.
    static QImage ApplyMask(const QImage& picture);

private:
    struct Lists {
        std::vector<QImage> normal;
        std::vector<QImage> hot;
        std::vector<QImage> disabled;
    };

    // Appends the looks of `picture` (null: null images) to `lists`.
    void AppendLooks(Lists& lists, const QImage& picture) const;

    bool m_created = false;
    int m_colorDepth = 0;
    QSize m_imageSize{-1, -1};
    Lists m_lists[2];  // at the image size, and at twice it
};

// The application icon (resource 128) at every size the artwork is rendered to.
QIcon ApplicationIcon();

}  // namespace tarrowind
