#include "history/thumbnails.h"

#include <algorithm>
#include <vector>

#include "history/journal.h"

namespace history {

using namespace platform;

Picture NeutralMark(int width, int height) {
  const int side = std::min(width, height);
  Picture mark;
  if (side <= 0) return mark;
  mark.width = mark.height = side;
  mark.pixels.resize(static_cast<std::size_t>(side) * side * 4);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const bool frame = x == 0 || y == 0 || x == side - 1 || y == side - 1;
      std::uint8_t* p = &mark.pixels[(static_cast<std::size_t>(y) * side + x) * 4];
      p[0] = p[1] = p[2] = frame ? 0x90 : 0xD8;
      p[3] = 0xFF;
    }
  return mark;
}

Picture FitPicture(const Picture& picture, int boxWidth, int boxHeight) {
  const FittedSize fitted = FitSize(picture.width, picture.height, boxWidth, boxHeight);
  Picture small;
  if (fitted.width == 0 ||
      picture.pixels.size() < static_cast<std::size_t>(picture.width) * picture.height * 4)
    return small;
  // Nearest pixels: a few thousand reads, however large the picture.
  small.width = fitted.width;
  small.height = fitted.height;
  small.pixels.resize(static_cast<std::size_t>(fitted.width) * fitted.height * 4);
  for (int y = 0; y < fitted.height; ++y)
    for (int x = 0; x < fitted.width; ++x) {
      const std::size_t sx = static_cast<std::size_t>(x) * picture.width / fitted.width;
      const std::size_t sy = static_cast<std::size_t>(y) * picture.height / fitted.height;
      std::copy_n(&picture.pixels[(sy * picture.width + sx) * 4], 4,
                  &small.pixels[(static_cast<std::size_t>(y) * fitted.width + x) * 4]);
    }
  return small;
}

const Picture* Thumbnails::Of(std::u16string_view reference, int width, int height) {
  if (reference.empty() || width <= 0 || height <= 0) return nullptr;
  if (IsPendingReference(reference)) return OfHeld(reference, width, height);
  std::string name;
  for (std::string& item : ItemNames(reference))
    if (ItemKind(item) == PngItem) name = std::move(item);
  if (name.empty()) return nullptr;
  const std::string key = KeyOf(name, width, height);
  if (const auto found = kept_.find(key); found != kept_.end()) {
    found->second->used = ++uses_;
    return found->second->ready ? &found->second->picture : nullptr;
  }
  if (kept_.size() >= MostKept) Forget();
  auto kept = std::make_shared<Kept>();
  kept->used = ++uses_;
  kept_.emplace(key, kept);
  auto fail = [&] {
    kept->ready = kept->failed = true;
    kept->picture = NeutralMark(width, height);
    return &kept->picture;
  };
  if (disabled_ || setAside_.count(name)) return fail();
  // The file is read here (a sealed one is opened here too); the decoding, which costs far
  // more, runs in the background, and only for a picture the coder may hold.
  auto bytes = std::make_shared<std::string>();
  if (!items_.Read(name, *bytes) ||
      !PngDecodeFits({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()}))
    return fail();
  if (OnDecoding) OnDecoding(name);
  IImages& images = desktop_.Images();
  desktop_.Background().Post(
      [kept, bytes, width, height, &images] {
        kept->failed =
            !images.DecodePngFitting({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()},
                                     width, height, kept->picture);
        bytes->clear();
        bytes->shrink_to_fit();
      },
      [this, kept, name, width, height, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        if (OnDecoded) OnDecoded(name);
        kept->ready = true;
        if (kept->failed) kept->picture = NeutralMark(width, height);
        if (OnReady) OnReady();
      });
  return nullptr;
}

std::string Thumbnails::KeyOf(std::string_view name, int width, int height) {
  return std::string(name) + '@' + std::to_string(width) + 'x' + std::to_string(height);
}

const Picture* Thumbnails::OfHeld(std::u16string_view placeholder, int width, int height) {
  // The picture as it was read, while its PNG is being coded: made here, at once.
  const std::string name(placeholder.begin(), placeholder.end());  // ASCII
  const std::string key = KeyOf(name, width, height);
  if (const auto found = kept_.find(key); found != kept_.end()) {
    found->second->used = ++uses_;
    return &found->second->picture;
  }
  const std::shared_ptr<const ItemStore::Held> held = items_.HeldFor(placeholder);
  if (!held || held->picture.pixels.empty()) return nullptr;
  if (kept_.size() >= MostKept) Forget();
  auto kept = std::make_shared<Kept>();
  kept->used = ++uses_;
  kept->ready = true;
  kept->picture = FitPicture(held->picture, width, height);
  if (kept->picture.pixels.empty()) kept->picture = NeutralMark(width, height);
  return &kept_.emplace(key, kept).first->second->picture;
}

void Thumbnails::Settled(std::u16string_view placeholder, std::u16string_view reference) {
  // The pictures made from what was read serve as those of the PNG: the same pixels.
  std::string name;
  for (std::string& item : ItemNames(reference))
    if (ItemKind(item) == PngItem) name = std::move(item);
  const std::string prefix = std::string(placeholder.begin(), placeholder.end()) + '@';
  std::vector<std::pair<std::string, std::shared_ptr<Kept>>> moved;
  for (auto entry = kept_.begin(); entry != kept_.end();) {
    if (entry->first.compare(0, prefix.size(), prefix) != 0) {
      ++entry;
      continue;
    }
    if (!name.empty()) moved.emplace_back(name + '@' + entry->first.substr(prefix.size()), entry->second);
    entry = kept_.erase(entry);
  }
  for (auto& [key, kept] : moved) kept_.emplace(std::move(key), std::move(kept));
}

void Thumbnails::Forget() {
  // The older half goes; those still being made stay, as their job holds them anyway.
  std::vector<std::uint64_t> uses;
  for (const auto& [key, kept] : kept_) uses.push_back(kept->used);
  std::nth_element(uses.begin(), uses.begin() + static_cast<std::ptrdiff_t>(uses.size() / 2), uses.end());
  const std::uint64_t median = uses[uses.size() / 2];
  std::erase_if(kept_,
                [median](const auto& entry) { return entry.second->ready && entry.second->used < median; });
}

}  // namespace history
