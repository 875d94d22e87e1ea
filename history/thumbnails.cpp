#include "history/thumbnails.h"

#include <algorithm>
#include <vector>

#include "clipboard/image_formats.h"

namespace history {

using namespace platform;

const Picture* Thumbnails::Of(std::u16string_view reference, int width, int height) {
  if (reference.empty() || width <= 0 || height <= 0) return nullptr;
  std::string name;
  for (std::string& item : ItemNames(reference))
    if (ItemKind(item) == PngItem) name = std::move(item);
  if (name.empty()) return nullptr;
  const std::string key = name + '@' + std::to_string(width) + 'x' + std::to_string(height);
  if (const auto found = kept_.find(key); found != kept_.end()) {
    found->second->used = ++uses_;
    return found->second->ready && !found->second->failed ? &found->second->picture : nullptr;
  }
  if (kept_.size() >= MostKept) Forget();
  auto kept = std::make_shared<Kept>();
  kept->used = ++uses_;
  kept_.emplace(key, kept);
  // The file is read here (a sealed one is opened here too); the decoding and the scaling, which
  // cost far more, run in the background.
  auto bytes = std::make_shared<std::string>();
  if (!items_.Read(name, *bytes)) {
    kept->ready = kept->failed = true;
    return nullptr;
  }
  IImages& images = desktop_.Images();
  desktop_.Background().Post(
      [kept, bytes, width, height, &images] {
        Picture full;
        kept->failed =
            !images.DecodePng({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()}, full);
        bytes->clear();
        bytes->shrink_to_fit();
        if (!kept->failed) kept->picture = clipboard::FitPicture(full, width, height);
      },
      [this, kept, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        kept->ready = true;
        if (!kept->failed && OnReady) OnReady();
      });
  return nullptr;
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
