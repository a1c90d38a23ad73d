// SPDX-License-Identifier: GPL-3.0-or-later
// The icon as Qt reads it: the XPM the window embeds and the PNG the icon theme gets.
#include <QImage>
#include <QSet>
#include <QString>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct IconFile {
    const char *name;
    const char *path;
};

void PrintTo(const IconFile &file, std::ostream *out)
{
    *out << file.path;
}

class IconFileTest : public testing::TestWithParam<IconFile> { };

TEST_P(IconFileTest, Is64By64OpaqueWithAtMost16Colours)
{
    const QImage icon(QString::fromUtf8(GetParam().path));
    ASSERT_FALSE(icon.isNull()) << GetParam().path;
    EXPECT_EQ(icon.width(), 64);
    EXPECT_EQ(icon.height(), 64);

    QSet<QRgb> colours;
    int seeThrough = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QRgb pixel = icon.pixel(x, y);
            colours.insert(pixel);
            if (qAlpha(pixel) != 255)
                ++seeThrough;
        }
    }
    EXPECT_LE(colours.size(), 16);
    EXPECT_EQ(seeThrough, 0);
}

INSTANTIATE_TEST_SUITE_P(Icon, IconFileTest,
    testing::Values(IconFile{"xpm", SORABUNE_ICON_XPM}, IconFile{"png", SORABUNE_ICON_PNG}),
    [](const testing::TestParamInfo<IconFile> &info) { return std::string(info.param.name); });

TEST(IconRendering, PngHasExactlyTheXpmPixels)
{
    const QImage xpm = QImage(QStringLiteral(SORABUNE_ICON_XPM)).convertToFormat(QImage::Format_ARGB32);
    const QImage png = QImage(QStringLiteral(SORABUNE_ICON_PNG)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(png.size(), xpm.size());
    int different = 0;
    for (int y = 0; y < xpm.height(); ++y) {
        for (int x = 0; x < xpm.width(); ++x) {
            if (png.pixel(x, y) != xpm.pixel(x, y))
                ++different;
        }
    }
    EXPECT_EQ(different, 0);
}

} // namespace
