#include "history/item_store.h"

#include "clipboard/image_checks.h"
#include "clipboard/image_formats.h"
#include "grid/sealed_file.h"
#include "grid/table_file.h"
#include "platform/bytes.h"

namespace history {

using namespace platform;

namespace {

constexpr std::size_t HashDigits = 64;

bool HashName(ICrypto& crypto, std::string_view bytes, std::string_view kind, std::string& name) {
  ICrypto::Digest digest;
  if (!crypto.Sha256(platform::AsBytes(bytes), digest)) return false;
  name = platform::HexText(digest);
  name += '.';
  name += kind;
  return true;
}

}  // namespace

bool PngFitsToKeep(IImages& images, const std::string& png) {
  switch (clipboard::CheckPng(platform::AsBytes(png))) {
    case clipboard::ImageCheck::Bad:
      return false;
    case clipboard::ImageCheck::Undecoded:
      return true;
    case clipboard::ImageCheck::Decodable:
      break;
  }
  // Read whole, at the size of a thumbnail: the rows are all read, but never held at once.
  Picture small;
  return images.DecodePngFitting(platform::AsBytes(png), 64, 64, small);
}

bool IsItemName(std::string_view name) {
  if (name.size() <= HashDigits + 1 || name[HashDigits] != '.') return false;
  for (std::size_t k = 0; k < HashDigits; ++k) {
    const char c = name[k];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  const std::string_view kind = name.substr(HashDigits + 1);
  return kind == PngItem || kind == HtmlItem || kind == RtfItem || kind == FileListItem;
}

std::string_view ItemKind(std::string_view name) {
  return name.size() > HashDigits + 1 ? name.substr(HashDigits + 1) : std::string_view();
}

std::u16string ItemReference(const std::vector<std::string>& names) {
  std::u16string reference;
  for (const std::string& name : names) {
    if (!reference.empty()) reference += u';';
    reference.append(name.begin(), name.end());  // ASCII
  }
  return reference;
}

namespace {

// Calls `take` with each name of a row's reference and whether it is an item's.
template <typename Take>
void ReadReference(std::u16string_view reference, Take&& take) {
  while (!reference.empty()) {
    const std::size_t end = std::min(reference.find(u';'), reference.size());
    std::string name;
    bool ascii = true;
    for (char16_t unit : reference.substr(0, end)) {
      ascii = ascii && unit < 0x80;
      name.push_back(static_cast<char>(unit));
    }
    const bool item = ascii && IsItemName(name);
    take(std::move(name), item);
    reference.remove_prefix(std::min(end + 1, reference.size()));
  }
}

}  // namespace

std::vector<std::string> ItemNames(std::u16string_view reference) {
  std::vector<std::string> names;
  ReadReference(reference, [&](std::string&& name, bool item) {
    if (item) names.push_back(std::move(name));
  });
  return names;
}

std::size_t UnfitItemNames(std::u16string_view reference) {
  std::size_t count = 0;
  ReadReference(reference, [&](std::string&&, bool item) { count += item ? 0 : 1; });
  return count;
}

std::u16string ImageText(int width, int height) {
  auto number = [](int value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
  };
  return u"[Image " + number(width) + u"\u00D7" + number(height) + u"]";
}

std::u16string EntryText(Desktop& desktop, const clipboard::ClipboardContent& content) {
  if (!content.fileList.empty()) {
    std::u16string paths;
    if (clipboard::FileListText(desktop, content.fileList, paths)) return paths;
  }
  if (!content.text.empty()) return content.text;
  int width = 0, height = 0;
  clipboard::PngLayout layout;
  if (!content.png.empty() && clipboard::ReadPngLayout(platform::AsBytes(content.png), layout, false))
    return ImageText(static_cast<int>(layout.width), static_cast<int>(layout.height));
  if (!content.dib.empty() && clipboard::DibSize(platform::AsBytes(content.dib), width, height))
    return ImageText(width, height);
  return {};
}

bool MakeItem(ICrypto& crypto, std::string bytes, std::string_view kind, Item& item) {
  if (!HashName(crypto, bytes, kind, item.name)) return false;
  item.bytes = std::move(bytes);
  return true;
}

ItemStore::ItemStore(Desktop& desktop, std::function<std::string()> folder)
    : desktop_(desktop), folder_(std::move(folder)) {}

Dword ItemStore::Put(const Item& item, bool seal) {
  IFiles& files = desktop_.Files();
  const std::string path = PathOf(item.name);
  // The same content copied again: a file of its size is taken to hold it (reading it back to
  // be sure would cost a large image's hash on every repeat); one cut short is written anew.
  IFiles::FileStamp stamp;
  if (files.GetFileStamp(path, stamp) == 0 &&
      (seal ? stamp.size > item.bytes.size() : stamp.size == item.bytes.size()))
    return 0;
  if (Dword error = files.CreateFolder(Folder())) return error;
  if (!seal) return grid::ReplaceFileContents(files, path, item.bytes.data(), item.bytes.size());
  std::string sealed;
  if (!grid::SealFile(desktop_.Crypto(), item.bytes, sealed)) return grid::SealingFailed;
  return grid::ReplaceFileContents(files, path, sealed.data(), sealed.size());
}

bool ItemStore::Get(const std::string& name, std::string& bytes) {
  if (!Read(name, bytes)) return false;
  if (!ItemHolds(desktop_.Crypto(), name, bytes)) {
    bytes.clear();
    return false;
  }
  return true;
}

bool ItemStore::Read(const std::string& name, std::string& bytes) {
  bytes.clear();
  if (!IsItemName(name) || desktop_.Files().ReadAll(PathOf(name), bytes) != 0) return false;
  if (grid::IsSealed(bytes)) {
    std::string plain;
    const grid::Unsealed result = grid::UnsealFile(desktop_.Crypto(), bytes, plain);
    bytes.swap(plain);
    desktop_.Crypto().Wipe(plain.data(), plain.size());
    if (result != grid::Unsealed::Opened) {
      bytes.clear();
      return false;
    }
  }
  return true;
}

void ItemStore::Sweep(const std::unordered_set<std::string>& kept) {
  IFiles& files = desktop_.Files();
  std::vector<std::string> names;
  if (files.ListFolder(Folder(), names) != 0) return;
  for (const std::string& name : names)
    if (kept.count(name) == 0) files.Delete(PathOf(name));
}

Dword ItemStore::Reseal(const std::string& name, bool seal) {
  IFiles& files = desktop_.Files();
  std::string bytes;
  if (Dword error = files.ReadAll(PathOf(name), bytes)) return error;
  if (grid::IsSealed(bytes) == seal) return 0;
  std::string plain;
  if (!Get(name, plain)) return grid::SealingFailed;  // damaged, or another account's: left as it is
  Item item{name, std::move(plain)};
  files.Delete(PathOf(name));
  const Dword error = Put(item, seal);
  desktop_.Crypto().Wipe(item.bytes.data(), item.bytes.size());
  return error;
}

void ItemStore::Hold(std::u16string placeholder, std::shared_ptr<const Held> held) {
  held_.emplace_back(std::move(placeholder), std::move(held));
}

std::shared_ptr<const ItemStore::Held> ItemStore::HeldFor(std::u16string_view placeholder) const {
  for (const auto& [name, held] : held_)
    if (name == placeholder) return held;
  return nullptr;
}

void ItemStore::Release(std::u16string_view placeholder) {
  std::erase_if(held_, [&](const auto& entry) { return entry.first == placeholder; });
}

std::string ItemsFolderOf(const std::string& file) {
  const std::size_t slash = file.find_last_of("\\/");
  const std::size_t dot = file.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? file.substr(0, dot) : file) + ".items";
}

bool EntryContent(Desktop& desktop, ItemStore& store, const std::u16string& text,
                  std::u16string_view reference, clipboard::ClipboardContent& content) {
  content = {};
  if (const std::shared_ptr<const ItemStore::Held> held = store.HeldFor(reference)) {
    HeldContent(*held, text, content);
    return true;
  }
  bool whole = true;
  std::string bytes;
  for (const std::string& name : ItemNames(reference)) {
    if (!store.Get(name, bytes)) {
      whole = false;
      continue;
    }
    AddItemContent(desktop.Images(), name, std::move(bytes), content);
  }
  FinishEntryContent(text, content);
  return whole;
}

void HeldContent(const ItemStore::Held& held, const std::u16string& text,
                 clipboard::ClipboardContent& content) {
  // Its items are still being made: what was read goes back, the picture as a bitmap.
  content = held.content;
  if (!held.picture.pixels.empty() && content.dib.empty() && content.png.empty()) {
    Bytes dib = clipboard::PictureToDibV5(held.picture);
    content.dib.assign(dib.begin(), dib.end());
  }
  if (!content.Rich()) content.text = text;
}

void AddItemContent(IImages& images, std::string_view name, std::string bytes,
                    clipboard::ClipboardContent& content) {
  const std::string_view kind = ItemKind(name);
  if (kind == PngItem) {
    // An image too large to decode goes back as its PNG alone. Otherwise the picture is held
    // twice at most: decoded and as its DIB, then as the DIB and the clipboard's copy of it.
    Picture picture;
    if (PngDecodeFits(platform::AsBytes(bytes)) && images.DecodePng(platform::AsBytes(bytes), picture)) {
      Bytes dib = clipboard::PictureToDibV5(picture);
      picture = {};
      content.dib.assign(dib.begin(), dib.end());
    }
    content.png = std::move(bytes);
  } else if (kind == HtmlItem) {
    content.html = std::move(bytes);
  } else if (kind == RtfItem) {
    content.rtf = std::move(bytes);
  } else if (kind == FileListItem) {
    content.fileList = std::move(bytes);
  }
}

void FinishEntryContent(const std::u16string& text, clipboard::ClipboardContent& content) {
  // An image entry's text is its size, not a text that was copied.
  if (content.png.empty() && content.dib.empty()) content.text = text;
  if (!content.Rich()) content.text = text;
}

bool ItemHolds(ICrypto& crypto, std::string_view name, const std::string& bytes) {
  std::string check;
  return HashName(crypto, bytes, ItemKind(name), check) && check == name;
}

}  // namespace history
