// The pixel store of pattern detection: row table, ownership, the wrapper, and
// the ways a captured bitmap becomes a buffer.

#include "pattern/BitmapImage.h"
#include "pattern/Image.h"
#include "pattern/Luminance.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace dimwell {
namespace {

GrayBitmap counting(std::int32_t wide, std::int32_t high) {
    GrayBitmap b(wide, high);
    for (std::size_t i = 0; i < b.bytes.size(); ++i) {
        b.bytes[i] = std::uint8_t(i);
    }
    return b;
}

TEST(ImageBuffer, DestroyingABorrowingRecordKeepsThePixels) {
    std::vector<std::uint8_t> pixels{7, 8, 9, 10};
    Image image;
    borrowPixels(image, pixels.data(), 2, 2);
    destroyImage(image);
    EXPECT_EQ(image.rows, nullptr);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{7, 8, 9, 10}));
    destroyImage(image);   // a second destruction frees nothing twice
}

TEST(BitmapImage, CopyKeepsTheBitmapsRowOrder) {
    const GrayBitmap bitmap = counting(5, 4);
    const auto wrapper = wrappedImageFromBitmap(bitmap, 5, 4);
    const Image& image = *wrapper->image();
    EXPECT_TRUE(image.owns);
    EXPECT_NE(image.data, bitmap.bytes.data());
    for (std::int32_t r = 0; r < 4; ++r) {
        for (std::int32_t c = 0; c < 5; ++c) {
            EXPECT_EQ(image.rows[r][c], bitmap.at(c, r));
        }
    }
}

TEST(BitmapImage, OtherSizesAreScaledToFill) {
    GrayBitmap bitmap(2, 2);
    bitmap.bytes = {10, 20, 30, 40};
    const auto wrapper = wrappedImageFromBitmap(bitmap, 4, 4);
    const Image& image = *wrapper->image();
    EXPECT_EQ(image.rows[0][0], 10);
    EXPECT_EQ(image.rows[1][3], 20);
    EXPECT_EQ(image.rows[2][1], 30);
    EXPECT_EQ(image.rows[3][3], 40);
}

TEST(BitmapImage, MalformedBitmapGivesAnEmptyView) {
    GrayBitmap bitmap(4, 4);
    bitmap.bytes.resize(10);
    const auto wrapper = wrappedImageViewOfBitmap(bitmap);
    EXPECT_EQ(wrapper->image()->width, 0);
    EXPECT_EQ(wrapper->image()->height, 0);
}

TEST(Luminance, GrayStaysGrayAndPrimariesWeighAsRec601) {
    for (std::uint32_t v = 0; v < 256; ++v) {
        ASSERT_EQ(grayLevel(v, v, v), v);
    }
    EXPECT_EQ(grayLevel(255, 0, 0), 76);
    EXPECT_EQ(grayLevel(0, 255, 0), 150);
    EXPECT_EQ(grayLevel(0, 0, 255), 29);
}

TEST(Luminance, RowGivesGrayLevelForEveryColourAndLayout) {
    const ChannelShifts layouts[] = {{16, 8, 0}, {0, 8, 16}, {24, 16, 8}, {8, 16, 24}, {20, 10, 0}};
    std::vector<std::uint32_t> row(4099);   // not a multiple of any block width
    std::vector<std::uint8_t> out(row.size());
    for (const ChannelShifts& s : layouts) {
        const std::uint32_t step = s.red == 16 && s.blue == 0 ? 1 : 97;
        const std::uint32_t unused = ~(0xffu << s.red | 0xffu << s.green | 0xffu << s.blue);   // must be ignored
        for (std::uint32_t first = 0; first < (1u << 24); first += std::uint32_t(row.size()) * step) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                const std::uint32_t c = (first + std::uint32_t(i) * step) & 0xffffffu;
                row[i] = (c >> 16 & 0xff) << s.red | (c >> 8 & 0xff) << s.green | (c & 0xff) << s.blue | (0xa5a5a5a5u & unused);
            }
            grayRow(row.data(), std::int32_t(row.size()), s, out.data());
            for (std::size_t i = 0; i < row.size(); ++i) {
                const std::uint32_t p = row[i];
                ASSERT_EQ(out[i], grayLevel(p >> s.red & 0xff, p >> s.green & 0xff, p >> s.blue & 0xff)) << i;
            }
        }
    }
}

} // namespace
} // namespace dimwell
