// What the program takes as a PNG or a DIB before it keeps or decodes one: chunks and CRCs, a
// header that exists and that its data can hold, the bounds on what is ever decoded, a DIB's
// sizes against its block, and the size a thumbnail is read at.
#include "clipboard/image_checks.h"

#include <gtest/gtest.h>

#include "clipboard/image_formats.h"
#include "image_support.h"
#include "image_support_png.h"
#include "platform/images.h"
#include "platform/sim/sim_images.h"

namespace image_checks_test {

namespace {

using namespace testing_support;
using clipboard::ImageCheck;

std::span<const std::uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

ImageCheck Check(const std::string& png) { return clipboard::CheckPng(Span(png)); }

TEST(ImageChecksTest, WellFormedPngs_AreTaken_TrimmedToTheirEnd) {
  sim::SimImages coder;
  platform::Bytes encoded;
  ASSERT_TRUE(coder.EncodePng(TestPicture(7, 3, true), encoded));
  const std::string png = AsString(encoded);
  EXPECT_EQ(ImageCheck::Decodable, Check(png));
  EXPECT_EQ(png.size(), clipboard::PngLength(Span(png + std::string(100, '\0'))));
  // Every colour type at its depths, a palette before the data, ancillary chunks, interlacing.
  const std::string data = PngChunk("IDAT", std::string(40, 'x')), end = PngChunk("IEND", "");
  for (auto [depth, type] : {std::pair{1, 0}, {16, 0}, {8, 2}, {16, 2}, {8, 4}, {16, 6}})
    EXPECT_EQ(ImageCheck::Decodable, Check(PngSignature + PngHeaderChunk(3, 3, depth, type) + data + end))
        << depth << "/" << type;
  EXPECT_EQ(ImageCheck::Decodable,
            Check(PngSignature + PngHeaderChunk(3, 3, 4, 3) + PngChunk("PLTE", std::string(6, '\0')) +
                  PngChunk("tEXt", "a\0b") + data + end));
  EXPECT_EQ(ImageCheck::Decodable, Check(PngSignature + PngHeaderChunk(3, 3, 8, 6, 1) + data + end));
}

TEST(ImageChecksTest, BrokenOrImpossiblePngs_AreRefused) {
  const std::string data = PngChunk("IDAT", std::string(40, 'x')), end = PngChunk("IEND", "");
  const std::string good = PngSignature + PngHeaderChunk(4, 4) + data + end;
  ASSERT_EQ(ImageCheck::Decodable, Check(good));
  // A changed byte anywhere in a chunk: the walk alone takes it, the CRCs do not.
  for (std::size_t at : {std::size_t{17}, std::size_t{40}, good.size() - 5}) {
    std::string changed = good;
    changed[at] ^= 0x01;
    EXPECT_EQ(ImageCheck::Bad, Check(changed)) << at;
    EXPECT_EQ(0u, clipboard::PngLength(Span(changed))) << at;
  }
  std::string badHeaderCrc = good;
  badHeaderCrc[8 + 8 + 13] ^= 0x40;
  clipboard::PngLayout layout;
  EXPECT_TRUE(clipboard::ReadPngLayout(Span(badHeaderCrc), layout, false));
  EXPECT_FALSE(clipboard::ReadPngLayout(Span(badHeaderCrc), layout, true));

  const std::vector<std::pair<const char*, std::string>> bad = {
      {"no width", PngSignature + PngHeaderChunk(0, 4) + data + end},
      {"past 2^31 - 1", PngSignature + PngHeaderChunk(0x80000000u, 1) + data + end},
      {"RGB of 4 bits", PngSignature + PngHeaderChunk(4, 4, 4, 2) + data + end},
      {"colour type 5", PngSignature + PngHeaderChunk(4, 4, 8, 5) + data + end},
      {"palette of 16 bits", PngSignature + PngHeaderChunk(4, 4, 16, 3) + data + end},
      {"palette without PLTE", PngSignature + PngHeaderChunk(4, 4, 8, 3) + data + end},
      {"interlace 2", PngSignature + PngHeaderChunk(4, 4, 8, 6, 2) + data + end},
      {"no data", PngSignature + PngHeaderChunk(4, 4) + end},
      {"no end", PngSignature + PngHeaderChunk(4, 4) + data},
      {"header not first", PngSignature + data + PngHeaderChunk(4, 4) + end},
      {"two headers", PngSignature + PngHeaderChunk(4, 4) + PngHeaderChunk(4, 4) + data + end},
      {"cut short", good.substr(0, good.size() - 1)},
      {"a chunk past the end", PngSignature + PngHeaderChunk(4, 4) + data.substr(0, 20)},
      // 69 bytes that claim 2^31 - 1 squared: no data can hold that.
      {"2147483647 x 2147483647", ClaimedPng(0x7FFFFFFF, 0x7FFFFFFF, 12)},
      {"data one byte too short", ClaimedPng(33000, 33000, LeastData(33000, 33000) - 1)},
  };
  for (const auto& [what, png] : bad) EXPECT_EQ(ImageCheck::Bad, Check(png)) << what;
  EXPECT_EQ(69u, ClaimedPng(0x7FFFFFFF, 0x7FFFFFFF, 12).size());
}

TEST(ImageChecksTest, OnlyPicturesWithinTheBound_AndWithinWhatTheirFileAllows_MayBeDecoded) {
  // 33000 x 33000 RGBA in 4.2 MB is a PNG to keep, never one to decode (4.4 GB of pixels).
  const std::string huge = ClaimedPng(33000, 33000, LeastData(33000, 33000));
  EXPECT_EQ(ImageCheck::Undecoded, Check(huge));
  EXPECT_FALSE(platform::PngDecodeFits(Span(huge)));
  // 8192 x 8192 (256 MB of pixels) is decoded from a file of 224 MB, not from one of 2 MB.
  EXPECT_TRUE(platform::DecodeFits(8192, 8192, 224u << 20));
  EXPECT_FALSE(platform::DecodeFits(8192, 8192, (224u << 20) - 1));
  EXPECT_FALSE(platform::DecodeFits(8192, 8192, 2u << 20));
  EXPECT_FALSE(platform::DecodeFits(8192, 8193, 1u << 30));
  // 32 MB of pixels from any file; more only as the file grows.
  EXPECT_TRUE(platform::DecodeFits(4096, 2048, 100));
  EXPECT_FALSE(platform::DecodeFits(4096, 2049, 100));
  EXPECT_TRUE(platform::DecodeFits(4096, 2049, 16384));
  EXPECT_FALSE(platform::DecodeFits(4096, 2049, 16383));
  EXPECT_FALSE(platform::DecodeFits(0x7FFFFFFF, 0x7FFFFFFF, ~std::uint64_t{0} / 4));
  EXPECT_FALSE(platform::DecodeFits(0, 5, 1000));
}

TEST(ImageChecksTest, TheSimulatedCoder_RefusesWhatWindowsWouldNotBeGiven) {
  sim::SimImages coder;
  platform::Picture picture;
  EXPECT_FALSE(coder.DecodePng(Span(ClaimedPng(33000, 33000, LeastData(33000, 33000))), picture));
  EXPECT_FALSE(coder.DecodePngFitting(Span(ClaimedPng(9000, 9000, LeastData(9000, 9000))), 64, 32, picture));
  EXPECT_EQ(2, coder.OversizeDecodes());
  platform::Bytes png;
  ASSERT_TRUE(coder.EncodePng(TestPicture(40, 10, false), png));
  ASSERT_TRUE(coder.DecodePngFitting(png, 16, 16, picture));
  EXPECT_EQ(16, picture.width);
  EXPECT_EQ(4, picture.height);
  EXPECT_EQ(2, coder.OversizeDecodes());
}

TEST(ImageChecksTest, DibSizes_AreCheckedAgainstTheBlock_AndAV5ProfileMustLieAfterTheRows) {
  const platform::Picture picture = TestPicture(3, 2, true);
  const platform::Bytes v5 = clipboard::PictureToDibV5(picture);
  std::string dib = AsString(v5);
  int width = 0, height = 0;
  ASSERT_TRUE(clipboard::DibSize(Span(dib), width, height));
  // The rows cut short: the header alone already says so.
  EXPECT_FALSE(clipboard::DibSize(Span(dib.substr(0, dib.size() - 1)), width, height));
  // A header size past the block, or one that says less than a header.
  std::string wrong = dib;
  Put32(wrong, 0, static_cast<std::uint32_t>(dib.size() + 1));
  EXPECT_FALSE(clipboard::DibSize(Span(wrong), width, height));
  // An embedded profile after the rows is read past; one over the rows, or past the block, is not.
  constexpr std::uint32_t Embedded = 0x4D424544;
  std::string profiled = dib + "PROFILE!";
  Put32(profiled, 56, Embedded);
  Put32(profiled, 112, static_cast<std::uint32_t>(dib.size()));
  Put32(profiled, 116, 8);
  platform::Picture read;
  EXPECT_TRUE(clipboard::DibToPicture(Span(profiled), read));
  EXPECT_EQ(picture, read);
  Put32(profiled, 116, 9);
  EXPECT_FALSE(clipboard::DibToPicture(Span(profiled), read));
  Put32(profiled, 112, 124);
  Put32(profiled, 116, 8);
  EXPECT_FALSE(clipboard::DibToPicture(Span(profiled), read));
  Put32(profiled, 112, 0xFFFFFFF0u);
  EXPECT_FALSE(clipboard::DibToPicture(Span(profiled), read));
  // More pixels than a picture may have, whatever the block holds.
  std::string huge = dib;
  Put32(huge, 4, 8193);
  Put32(huge, 8, 8192);
  EXPECT_FALSE(clipboard::DibSize(Span(huge), width, height));
}

TEST(ImageChecksTest, AThumbnailsSize_FitsItsBox_KeepsTheShape_AndIsNeverLargerThanThePicture) {
  auto fit = [](std::int64_t w, std::int64_t h, int bw, int bh) {
    const platform::FittedSize size = platform::FitSize(w, h, bw, bh);
    return std::pair{size.width, size.height};
  };
  EXPECT_EQ((std::pair{32, 8}), fit(40, 10, 32, 16));
  EXPECT_EQ((std::pair{8, 8}), fit(8, 8, 64, 32));
  EXPECT_EQ((std::pair{32, 32}), fit(33000, 33000, 64, 32));
  EXPECT_EQ((std::pair{64, 1}), fit(33000, 1, 64, 32));
  EXPECT_EQ((std::pair{1, 32}), fit(1, 0x7FFFFFFF, 64, 32));
  EXPECT_EQ((std::pair{32, 32}), fit(0x7FFFFFFF, 0x7FFFFFFF, 64, 32));
  EXPECT_EQ((std::pair{0, 0}), fit(0, 5, 64, 32));
  EXPECT_EQ((std::pair{0, 0}), fit(5, 5, 0, 32));
}

}  // namespace
}  // namespace image_checks_test
