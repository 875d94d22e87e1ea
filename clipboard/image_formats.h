// The clipboard's image formats as bytes: device-independent bitmaps (CF_DIB, CF_DIBV5: a
// header, masks or a colour table, then the rows) and PNG files.
#pragma once

#include <cstdint>
#include <span>

#include "platform/images.h"

namespace clipboard {

// The pixels of a packed DIB: BITMAPINFOHEADER, BITMAPV4HEADER or BITMAPV5HEADER; 1, 4 and 8
// bits with a colour table, 16 and 32 bits as RGB or bit fields, 24 bits; rows bottom-up or
// top-down. Alpha is taken only where the header says the pixels have it (a V4 or V5 header
// with an alpha mask), and not when every pixel's alpha is 0 (a program that set the mask and
// wrote no alpha); otherwise the picture is opaque. False for anything else, a compressed or
// cut-short DIB included, for a V5 header whose colour profile lies outside the block or over the
// rows, and for a picture of more than platform::MostPictureBytes.
bool DibToPicture(std::span<const std::uint8_t> dib, platform::Picture& picture);

// The width and height a DIB's header gives, without reading its pixels.
bool DibSize(std::span<const std::uint8_t> dib, int& width, int& height);

// A CF_DIBV5 block of the picture: BITMAPV5HEADER with 32-bit bit fields and an alpha mask,
// sRGB, rows bottom-up, the pixels as they are (alpha not premultiplied).
platform::Bytes PictureToDibV5(const platform::Picture& picture);

// The width and height of a PNG's header; false when the bytes do not start as a PNG does.
bool PngSize(std::span<const std::uint8_t> png, int& width, int& height);

// The length of the PNG file that the bytes start with, up to the end of its IEND chunk (a
// clipboard block may be longer than what was put in it); 0 when it is not one to keep
// (ReadPngLayout with the CRCs).
std::size_t PngLength(std::span<const std::uint8_t> png);

}  // namespace clipboard

namespace clipboard {

// The picture made smaller, keeping its shape, to fit within `width` by `height` (a picture that
// fits already is returned as it is): each pixel the average of those it covers, colours
// weighted by their alpha.
platform::Picture FitPicture(const platform::Picture& picture, int width, int height);

}  // namespace clipboard
