// The board picture the device page shows: the size the picture control
// takes on, in the colour depth the resource script promises.
#include <gtest/gtest.h>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

uint32_t Read32(const std::vector<unsigned char>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24;
}

TEST(BoardPicture, IsA220By123TrueColourBitmap) {
    std::ifstream file(AOC_RES_DIR "/board.bmp", std::ios::binary);
    ASSERT_TRUE(file.good());
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(Read32(bytes, 2), bytes.size());
    EXPECT_EQ(Read32(bytes, 14), 40u);   // BITMAPINFOHEADER
    EXPECT_EQ(Read32(bytes, 18), 220u);  // width
    EXPECT_EQ(Read32(bytes, 22), 123u);  // height, bottom-up
    EXPECT_EQ(bytes[28] | bytes[29] << 8, 24);
    EXPECT_EQ(Read32(bytes, 30), 0u);    // BI_RGB
    EXPECT_EQ(bytes.size(), 54u + 220u * 3u * 123u);  // rows of 660 bytes need no padding
}

}  // namespace
