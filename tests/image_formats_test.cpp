// The clipboard's image formats: every kind of DIB a program may offer reads as the pixels it
// holds, alpha only where the header says so; a DIBV5 made of a picture reads back the same; a
// clipboard block's PNG ends where the file does; pictures are fitted to a thumbnail's box; the
// simulated desktop's PNG coder keeps every pixel.
#include "clipboard/image_formats.h"

#include <gtest/gtest.h>

#include "image_support.h"
#include "platform/sim/sim_images.h"

namespace image_formats_test {

namespace {

using namespace testing_support;
using clipboard::DibToPicture;
using platform::Picture;

std::span<const std::uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

Picture Read(const std::string& dib) {
  Picture picture;
  EXPECT_TRUE(DibToPicture(Span(dib), picture));
  return picture;
}

std::string Header(int width, int height, int bits, std::uint32_t compression, std::uint32_t colours = 0) {
  std::string dib(40, '\0');
  Put32(dib, 0, 40);
  Put32(dib, 4, static_cast<std::uint32_t>(width));
  Put32(dib, 8, static_cast<std::uint32_t>(height));
  dib[12] = 1;
  dib[14] = static_cast<char>(bits);
  Put32(dib, 16, compression);
  Put32(dib, 32, colours);
  return dib;
}

TEST(ImageFormatsTest, EveryDepthAndLayout_ReadsAsItsPixels) {
  const Picture picture = TestPicture(5, 3, true);
  // 24 bits, bottom-up, rows padded to four bytes: alpha is lost.
  EXPECT_EQ(Opaque(picture), Read(Dib24(picture)));

  // 32 bits as BI_RGB, top-down: the fourth byte is no alpha, whatever it holds.
  std::string dib = Header(2, -2, 32, 0);
  for (std::uint32_t pixel : {0x00112233u, 0x7F445566u, 0x00778899u, 0xFFAABBCCu}) {
    dib.append(4, '\0');
    Put32(dib, dib.size() - 4, pixel);
  }
  Picture read = Read(dib);
  ASSERT_EQ(2, read.width);
  EXPECT_EQ((std::vector<std::uint8_t>{0x33, 0x22, 0x11, 0xFF, 0x66, 0x55, 0x44, 0xFF, 0x99, 0x88, 0x77, 0xFF,
                                       0xCC, 0xBB, 0xAA, 0xFF}),
            read.pixels);

  // 16 bits, 5-6-5 bit fields after the header; white and pure red.
  dib = Header(2, 1, 16, 3);
  dib.append(12, '\0');
  Put32(dib, 40, 0xF800);
  Put32(dib, 44, 0x07E0);
  Put32(dib, 48, 0x001F);
  dib += std::string("\xFF\xFF\x00\xF8", 4);
  EXPECT_EQ((std::vector<std::uint8_t>{255, 255, 255, 255, 0, 0, 255, 255}), Read(dib).pixels);

  // 1 and 8 bits through a colour table.
  dib = Header(3, 1, 1, 0, 2);
  dib += std::string("\x00\x00\x00\x00\xFF\x00\x00\x00", 8);  // black, blue
  dib += std::string("\xA0\x00\x00\x00", 4);                  // 1 0 1
  EXPECT_EQ((std::vector<std::uint8_t>{255, 0, 0, 255, 0, 0, 0, 255, 255, 0, 0, 255}), Read(dib).pixels);
  dib = Header(1, 1, 8, 0, 1);
  dib += std::string("\x10\x20\x30\x00", 4);
  dib += std::string("\x05\x00\x00\x00", 4);  // an index past the table is black
  EXPECT_EQ((std::vector<std::uint8_t>{0, 0, 0, 255}), Read(dib).pixels);
}

TEST(ImageFormatsTest, AlphaIsTaken_OnlyWhereTheHeaderGivesIt) {
  const Picture picture = TestPicture(4, 3, true);
  const std::string v5 = AsString(clipboard::PictureToDibV5(picture));
  EXPECT_EQ(picture, Read(v5));  // the round trip of a re-copy keeps every pixel
  // A V5 header whose alpha is all zero was written by a program that set the mask only.
  std::string blank = v5;
  for (std::size_t k = 124 + 3; k < blank.size(); k += 4) blank[k] = 0;
  const Picture read = Read(blank);
  for (std::size_t k = 3; k < read.pixels.size(); k += 4) ASSERT_EQ(0xFF, read.pixels[k]);
}

TEST(ImageFormatsTest, DamagedOrHostileDibs_AreRefused) {
  const std::string good = Dib24(TestPicture(5, 3, false));
  Picture picture;
  EXPECT_FALSE(DibToPicture(Span(good.substr(0, good.size() - 1)), picture));  // a row cut short
  EXPECT_FALSE(DibToPicture(Span(good.substr(0, 39)), picture));
  EXPECT_FALSE(DibToPicture(Span(Header(0, 3, 24, 0)), picture));
  EXPECT_FALSE(DibToPicture(Span(Header(1 << 20, 1 << 20, 24, 0)), picture));  // a terabyte of pixels
  EXPECT_FALSE(DibToPicture(Span(Header(2, 2, 8, 1) + std::string(1024 + 16, '\0')), picture));  // RLE
  std::string oversized = good;
  Put32(oversized, 0, 0x7FFFFFFF);  // a header larger than the block
  EXPECT_FALSE(DibToPicture(Span(oversized), picture));
  EXPECT_TRUE(picture.pixels.empty());
}

TEST(ImageFormatsTest, PngOfABlock_EndsWithItsLastChunk) {
  sim::SimImages images;
  platform::Bytes png;
  ASSERT_TRUE(images.EncodePng(TestPicture(3, 2, true), png));
  const std::string file = AsString(png);
  int width = 0, height = 0;
  ASSERT_TRUE(clipboard::PngSize(Span(file), width, height));
  EXPECT_EQ(3, width);
  EXPECT_EQ(2, height);
  EXPECT_EQ(file.size(), clipboard::PngLength(Span(file + std::string(13, '\0'))));
  EXPECT_EQ(0u, clipboard::PngLength(Span(file.substr(0, file.size() - 1))));
  EXPECT_EQ(0u, clipboard::PngLength(Span("GIF89a" + file)));
}

TEST(ImageFormatsTest, FitPicture_KeepsTheShape_AndTransparentPixelsDoNotDarkenTheirNeighbours) {
  Picture wide = TestPicture(40, 10, false);
  const Picture fitted = clipboard::FitPicture(wide, 16, 16);
  EXPECT_EQ(16, fitted.width);
  EXPECT_EQ(4, fitted.height);
  EXPECT_EQ(wide, clipboard::FitPicture(wide, 40, 10));  // fits already
  // Two pixels into one: a white opaque one and a transparent black one give half transparent
  // white, not grey.
  Picture pair{2, 1, {255, 255, 255, 255, 0, 0, 0, 0}};
  EXPECT_EQ((std::vector<std::uint8_t>{255, 255, 255, 128}), clipboard::FitPicture(pair, 1, 1).pixels);
}

TEST(ImageFormatsTest, SimulatedPngCoder_KeepsEveryPixel_AndRefusesDamage) {
  sim::SimImages images;
  const Picture picture = TestPicture(300, 250, true);  // more than one stored block
  platform::Bytes png;
  ASSERT_TRUE(images.EncodePng(picture, png));
  Picture back;
  ASSERT_TRUE(images.DecodePng(png, back));
  EXPECT_EQ(picture, back);
  png[png.size() / 2] ^= 1;
  EXPECT_FALSE(images.DecodePng(png, back));
}

}  // namespace
}  // namespace image_formats_test
