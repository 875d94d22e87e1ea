// cm_image_bench [WIDTH HEIGHT]: what a copied image costs on the Windows desktop itself (WIC,
// CNG), step by step as the program takes it, for a 4K picture by default: reading the
// clipboard's block on the message loop, the work that runs in the background (a DIB's coding as
// PNG, the hash), writing the item (back on the message loop), and a re-copy's decoding. Once for
// a CF_DIB and once for a "PNG" offered by the copying program. Then a re-copy's write to the
// clipboard, step by step, the bitmap's data handed over at once and then delayed until a
// program asks for it; after the first, the read of the change as the history's recorder made it
// (the PNG), which it no longer makes of its own re-copy. Prints milliseconds and sizes.
// The program's headers first: <windows.h> would turn their CreateWindowA into a macro.
#include "clipboard/clipboard_content.h"
#include "clipboard/content_owner.h"
#include "clipboard/image_formats.h"
#include "history/capture.h"
#include "history/item_store.h"
#include "platform/win32/win32_desktop.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

double Ms(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Something like a screenshot: flat areas, gradients and some noise, opaque.
platform::Picture Screenshot(int width, int height) {
  platform::Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<std::size_t>(width) * height * 4);
  std::mt19937 random(7);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &picture.pixels[(static_cast<std::size_t>(y) * width + x) * 4];
      const bool window = (x / 400 + y / 300) % 3 == 0;
      p[0] = window ? 240 : static_cast<std::uint8_t>(x * 255 / width);
      p[1] = window ? 240 : static_cast<std::uint8_t>(y * 255 / height);
      p[2] =
          window ? static_cast<std::uint8_t>(230 + random() % 8) : static_cast<std::uint8_t>(random() % 64);
      p[3] = 255;
    }
  return picture;
}

// A CF_DIB as GDI makes of a screen bitmap: 32 bits, BI_RGB, bottom-up.
std::string Dib32(const platform::Picture& picture) {
  std::string dib(40 + picture.pixels.size(), '\0');
  BITMAPINFOHEADER header = {};
  header.biSize = 40;
  header.biWidth = picture.width;
  header.biHeight = picture.height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  std::memcpy(dib.data(), &header, 40);
  const std::size_t row = static_cast<std::size_t>(picture.width) * 4;
  for (int y = 0; y < picture.height; ++y)
    std::memcpy(&dib[40 + (picture.height - 1 - y) * row], &picture.pixels[y * row], row);
  return dib;
}

bool Offer(HWND window, UINT format, const std::string& bytes) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  std::memcpy(::GlobalLock(block), bytes.data(), bytes.size());
  ::GlobalUnlock(block);
  if (!::OpenClipboard(window)) return false;
  ::EmptyClipboard();
  const bool set = ::SetClipboardData(format, block) != nullptr;
  ::CloseClipboard();
  return set;
}

void Measure(win32::Win32Desktop& desktop, HWND window, const char* kind, history::ItemStore& store) {
  auto start = std::chrono::steady_clock::now();
  history::CapturedEntry entry;
  bool markedPrivate = false;
  clipboard::GetClipboardContent(desktop, reinterpret_cast<platform::Hwnd>(window), entry.content,
                                 markedPrivate);
  entry.text = history::EntryText(desktop, entry.content);
  const double read = Ms(start);
  const std::size_t offered = entry.content.png.size() + entry.content.dib.size();
  start = std::chrono::steady_clock::now();
  history::PrepareItems(desktop.Images(), desktop.Crypto(), entry);
  const double prepared = Ms(start);
  if (entry.items.empty()) {
    std::printf("%s: nothing to keep\n", kind);
    return;
  }
  start = std::chrono::steady_clock::now();
  desktop.Files().Delete(store.PathOf(entry.items[0].name));
  store.Put(entry.items[0], false);
  const double written = Ms(start);
  start = std::chrono::steady_clock::now();
  clipboard::ClipboardContent back;
  history::EntryContent(desktop, store, entry.text, history::ItemReference({entry.items[0].name}), back);
  const double recopy = Ms(start);
  std::printf(
      "%s: offered %.1f MB; on the message loop: read %.1f ms, item written %.1f ms; in the background: %.1f "
      "ms "
      "(coding and hashing); stored PNG %.2f MB; a re-copy's reading and decoding %.1f ms\n",
      kind, offered / 1e6, read, written, prepared, entry.items[0].bytes.size() / 1e6, recopy);
}

// A re-copy's write of `content` (a PNG and its CF_DIBV5) as the window's thread does it: every
// format at once, each step timed, then with the bitmap delayed (clipboard::ContentOwner), and
// what a program's request for the bitmap costs the owner then.
void MeasureRecopyWrite(win32::Win32Desktop& desktop, HWND window,
                        const clipboard::ClipboardContent& content) {
  const platform::Hwnd reader = reinterpret_cast<platform::Hwnd>(window);
  auto readBack = [&] {
    const auto start = std::chrono::steady_clock::now();
    clipboard::ClipboardContent read;
    bool markedPrivate = false;
    clipboard::GetClipboardContent(desktop, reader, read, markedPrivate);
    return Ms(start);
  };
  {
    auto start = std::chrono::steady_clock::now();
    ::OpenClipboard(window);
    ::EmptyClipboard();
    const double opened = Ms(start);
    auto put = [](UINT format, const std::string& bytes, double& copy, double& set) {
      auto at = std::chrono::steady_clock::now();
      HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
      std::memcpy(::GlobalLock(block), bytes.data(), bytes.size());
      ::GlobalUnlock(block);
      copy = Ms(at);
      at = std::chrono::steady_clock::now();
      if (!::SetClipboardData(format, block)) ::GlobalFree(block);
      set = Ms(at);
    };
    double pngCopy = 0, pngSet = 0, dibCopy = 0, dibSet = 0;
    put(::RegisterClipboardFormatA("PNG"), content.png, pngCopy, pngSet);
    put(CF_DIBV5, content.dib, dibCopy, dibSet);
    start = std::chrono::steady_clock::now();
    ::CloseClipboard();
    const double closed = Ms(start);
    std::printf(
        "re-copy, every format at once: open+empty %.1f ms; PNG %.2f MB: alloc+copy %.1f ms, "
        "SetClipboardData "
        "%.1f ms; CF_DIBV5 %.1f MB: alloc+copy %.1f ms, SetClipboardData %.1f ms; close %.1f ms; total %.1f "
        "ms; the recorder's read of it (the PNG) %.1f ms\n",
        opened, content.png.size() / 1e6, pngCopy, pngSet, content.dib.size() / 1e6, dibCopy, dibSet, closed,
        opened + pngCopy + pngSet + dibCopy + dibSet + closed, readBack());
  }
  {
    clipboard::ContentOwner owner(desktop);
    auto shared = std::make_shared<clipboard::ClipboardContent>(content);
    auto start = std::chrono::steady_clock::now();
    owner.Put(std::move(shared));
    const double put = Ms(start);
    start = std::chrono::steady_clock::now();
    ::OpenClipboard(window);
    HANDLE dib = ::GetClipboardData(CF_DIB);
    const SIZE_T size = dib ? ::GlobalSize(dib) : 0;
    ::CloseClipboard();
    std::printf(
        "re-copy, the bitmap delayed: the write %.1f ms (the recorder reads none of it); a program's request "
        "for CF_DIB, rendered %.1f ms (%.1f MB)\n",
        put, Ms(start), size / 1e6);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 2 ? std::atoi(argv[1]) : 3840;
  const int height = argc > 2 ? std::atoi(argv[2]) : 2160;
  win32::Win32Desktop desktop(::GetModuleHandleA(nullptr));
  HWND window = ::CreateWindowExA(0, "STATIC", "Image bench", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
  char folder[MAX_PATH];
  ::GetTempPathA(MAX_PATH, folder);
  history::ItemStore store(desktop, [dir = std::string(folder) + "cm_image_bench.items"] { return dir; });

  const platform::Picture picture = Screenshot(width, height);
  std::printf("%dx%d\n", width, height);
  for (int run = 0; run < 3; ++run) {
    if (!Offer(window, CF_DIB, Dib32(picture))) return 1;
    Measure(desktop, window, "CF_DIB", store);
  }
  platform::Bytes png;
  desktop.Images().EncodePng(picture, png);
  for (int run = 0; run < 3; ++run) {
    if (!Offer(window, ::RegisterClipboardFormatA("PNG"), std::string(png.begin(), png.end()))) return 1;
    Measure(desktop, window, "PNG", store);
  }
  clipboard::ClipboardContent recopied;
  recopied.png.assign(png.begin(), png.end());
  const platform::Bytes dib = clipboard::PictureToDibV5(picture);
  recopied.dib.assign(dib.begin(), dib.end());
  for (int run = 0; run < 3; ++run) MeasureRecopyWrite(desktop, window, recopied);
  return 0;
}
