#include "platform/win32/win32_images.h"

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstring>

namespace win32 {

using platform::Bytes;
using platform::Picture;

namespace {

// COM for the calling thread, for as long as a call needs it. A thread that has it already (in
// another model, say) keeps it as it is.
class ComScope {
 public:
  ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

// An interface pointer released at the end of its scope.
template <class T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** put() { return &p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

bool Factory(Com<IWICImagingFactory>& factory) {
  return SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())));
}

bool Opaque(const Picture& picture) {
  for (std::size_t k = 3; k < picture.pixels.size(); k += 4)
    if (picture.pixels[k] != 0xFF) return false;
  return true;
}

}  // namespace

bool Win32Images::EncodePng(const Picture& picture, Bytes& png) {
  png.clear();
  const UINT width = static_cast<UINT>(picture.width), height = static_cast<UINT>(picture.height);
  if (picture.width <= 0 || picture.height <= 0 || picture.pixels.size() != std::size_t{width} * height * 4)
    return false;
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  if (!Factory(factory) || FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.put(), options.put())) ||
      FAILED(frame->Initialize(options.get())) || FAILED(frame->SetSize(width, height)))
    return false;
  // A picture without transparency is written without its alpha channel: a quarter fewer bytes
  // to compress, and the same pixels.
  const bool opaque = Opaque(picture);
  WICPixelFormatGUID format = opaque ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGRA;
  const WICPixelFormatGUID wanted = format;
  if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, wanted)) return false;
  if (opaque) {
    // Row by row, so that the picture is not held twice.
    const UINT stride = (width * 3 + 3) & ~3u;
    Bytes row(stride);
    for (UINT y = 0; y < height; ++y) {
      const std::uint8_t* in = picture.pixels.data() + std::size_t{y} * width * 4;
      for (UINT x = 0; x < width; ++x) std::memcpy(&row[std::size_t{x} * 3], in + std::size_t{x} * 4, 3);
      if (FAILED(frame->WritePixels(1, stride, stride, row.data()))) return false;
    }
  } else {
    const UINT stride = width * 4;
    if (FAILED(frame->WritePixels(height, stride, stride * height, const_cast<BYTE*>(picture.pixels.data()))))
      return false;
  }
  if (FAILED(frame->Commit()) || FAILED(encoder->Commit())) return false;
  STATSTG stat = {};
  HGLOBAL block = nullptr;
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(::GetHGlobalFromStream(stream.get(), &block)))
    return false;
  const void* data = ::GlobalLock(block);
  if (!data) return false;
  png.assign(static_cast<const std::uint8_t*>(data),
             static_cast<const std::uint8_t*>(data) + stat.cbSize.QuadPart);
  ::GlobalUnlock(block);
  return true;
}

namespace {

// The first frame of a PNG, once its header has passed PngDecodeFits: Wine's decoder unpacks the
// whole picture as soon as the frame is asked for, in a buffer whose size it works out in 32
// bits, so a header of more than 4 GB of pixels would have it write past that buffer.
bool OpenFrame(std::span<const std::uint8_t> png, Com<IWICImagingFactory>& factory, Com<IWICStream>& stream,
               Com<IWICBitmapDecoder>& decoder, Com<IWICBitmapFrameDecode>& frame) {
  if (png.size() > 0xFFFFFFFFu || !platform::PngDecodeFits(png)) return false;
  return Factory(factory) && SUCCEEDED(factory->CreateStream(stream.put())) &&
         SUCCEEDED(
             stream->InitializeFromMemory(const_cast<BYTE*>(png.data()), static_cast<DWORD>(png.size()))) &&
         SUCCEEDED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                    decoder.put())) &&
         SUCCEEDED(decoder->GetFrame(0, frame.put()));
}

// The source's pixels as BGRA, straight alpha, into the picture, which has its size already.
bool CopyBgra(IWICImagingFactory* factory, IWICBitmapSource* source, Picture& picture) {
  Com<IWICFormatConverter> converter;
  const UINT width = static_cast<UINT>(picture.width), height = static_cast<UINT>(picture.height);
  picture.pixels.resize(std::size_t{width} * height * 4);
  if (FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                   0.0, WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(picture.pixels.size()),
                                   picture.pixels.data()))) {
    picture = {};
    return false;
  }
  return true;
}

// Opens the PNG's frame when its size is one that may be decoded: the decoder unpacks the whole
// frame, even for a scaled read, and sizes that buffer in 32 bits.
bool OpenDecodableFrame(std::span<const std::uint8_t> png, Com<IWICImagingFactory>& factory,
                        Com<IWICStream>& stream, Com<IWICBitmapDecoder>& decoder,
                        Com<IWICBitmapFrameDecode>& frame, UINT& width, UINT& height) {
  return OpenFrame(png, factory, stream, decoder, frame) && SUCCEEDED(frame->GetSize(&width, &height)) &&
         platform::DecodeFits(width, height, png.size());
}

}  // namespace

bool Win32Images::DecodePng(std::span<const std::uint8_t> png, Picture& picture) {
  picture = {};
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  if (!OpenDecodableFrame(png, factory, stream, decoder, frame, width, height)) return false;
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  return CopyBgra(factory.get(), frame.get(), picture);
}

bool Win32Images::DecodePngFitting(std::span<const std::uint8_t> png, int boxWidth, int boxHeight,
                                   Picture& picture) {
  picture = {};
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  if (!OpenDecodableFrame(png, factory, stream, decoder, frame, width, height)) return false;
  const platform::FittedSize fitted = platform::FitSize(width, height, boxWidth, boxHeight);
  if (fitted.width == 0) return false;
  picture.width = fitted.width;
  picture.height = fitted.height;
  if (static_cast<UINT>(fitted.width) == width && static_cast<UINT>(fitted.height) == height)
    return CopyBgra(factory.get(), frame.get(), picture);
  // The scaler pulls the frame's rows through as it goes: the picture is never held at full
  // size by this program (the decoder may hold it; Windows' reads the rows as asked). Fant
  // averages every row it passes, so rows that do not decode fail here as well.
  Com<IWICBitmapScaler> scaler;
  if (FAILED(factory->CreateBitmapScaler(scaler.put())) ||
      FAILED(scaler->Initialize(frame.get(), static_cast<UINT>(fitted.width),
                                static_cast<UINT>(fitted.height), WICBitmapInterpolationModeFant))) {
    picture = {};
    return false;
  }
  return CopyBgra(factory.get(), scaler.get(), picture);
}

}  // namespace win32
