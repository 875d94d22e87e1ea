#include "ui/popup_list.h"

#include <algorithm>

#include "platform/utf.h"
#include "ui/application.h"

namespace ui {

PopupList::PopupList(Application& app, std::string name) : Control(nullptr, std::move(name)), app_(app) {
  SetVisible(false);
}

void PopupList::Popup(const platform::Rect& at) {
  filter_.clear();
  selected_ = count_ > 0 ? 0 : -1;
  ClearHighlight();
  Notice.clear();
  SetBounds(at.left, at.top, at.Width(), at.Height());
  SetVisible(true);
}

void PopupList::Close() { SetVisible(false); }

void PopupList::SetCount(int count) {
  count_ = std::max(count, 0);
  selected_ = count_ == 0 ? -1 : std::clamp(selected_, 0, count_ - 1);
  anchor_ = count_ == 0 ? -1 : std::clamp(anchor_, 0, count_ - 1);
  added_.erase(added_.lower_bound(count_), added_.end());
  ++itemsVersion_;
  Changed();
}

void PopupList::SetSelected(int index) {
  if (index < 0 || index >= count_) return;
  selected_ = index;
  anchor_ = index;
  ClearHighlight();
  Changed();
}

void PopupList::ClearHighlight() {
  if (!ranged_ && added_.empty()) return;
  ranged_ = false;
  added_.clear();
  ++highlightVersion_;
}

std::vector<int> PopupList::Highlighted() const {
  std::vector<int> indices;
  if (selected_ < 0) return indices;
  if (!ranged_ && added_.empty()) return {selected_};
  std::set<int> all = added_;
  if (ranged_) {
    const int from = std::clamp(std::min(anchor_, selected_), 0, count_ - 1);
    const int to = std::clamp(std::max(anchor_, selected_), 0, count_ - 1);
    for (int i = from; i <= to; ++i) all.insert(i);
  }
  indices.assign(all.begin(), all.end());
  return indices;
}

bool PopupList::IsHighlighted(int index) const {
  if (index < 0 || index >= count_) return false;
  if (index == selected_) return true;
  if (added_.count(index)) return true;
  return ranged_ && index >= std::min(anchor_, selected_) && index <= std::max(anchor_, selected_);
}

void PopupList::Extend(int delta) {
  if (count_ == 0 || selected_ < 0) return;
  if (!ranged_) anchor_ = selected_;
  ranged_ = true;
  selected_ = std::clamp(selected_ + delta, 0, count_ - 1);
  ++highlightVersion_;
  Changed();
}

bool PopupList::Held(int vk) { return (app_.Desktop().Keyboard().GetAsyncKeyState(vk) & 0x8000) != 0; }

void PopupList::Pick(PickKind kind) {
  if (selected_ < 0) return;
  const std::vector<int> indices = Highlighted();
  if (kind == PickKind::Paste && indices.size() == 1) {
    ClickItem(indices.front());
    return;
  }
  bool close = true;
  Notice.clear();
  app_.Guard([&] {
    if (OnPickMany) close = OnPickMany(indices, kind);
  });
  if (close)
    Close();
  else
    Changed();
}

void PopupList::UserSetFilter(std::u16string text) {
  if (text == filter_) return;
  filter_ = std::move(text);
  // A new filter shows other items: the first of them is the one Enter takes.
  selected_ = 0;
  anchor_ = 0;
  ClearHighlight();
  Raise([this] {
    if (OnFilterChange) OnFilterChange(filter_);
  });
  if (count_ == 0) selected_ = -1;
  Changed();
}

void PopupList::Move(int delta) {
  if (count_ == 0) return;
  if (Held(platform::VkShift)) {
    Extend(delta);
    return;
  }
  SetSelected(std::clamp(selected_ + delta, 0, count_ - 1));
}

bool PopupList::KeyDown(int vk) {
  if (!IsOpen()) return false;
  if (!Notice.empty() && vk != platform::VkShift && vk != platform::VkControl) {
    Notice.clear();
    Changed();
  }
  switch (vk) {
    case platform::VkUp:
      Move(-1);
      return true;
    case platform::VkDown:
      Move(1);
      return true;
    case platform::VkPrior:
      Move(-std::max(PageSize, 1));
      return true;
    case platform::VkNext:
      Move(std::max(PageSize, 1));
      return true;
    case platform::VkReturn:
      Pick(Held(platform::VkControl) ? PickKind::Queue
           : Held(platform::VkShift) ? PickKind::Plain
                                     : PickKind::Paste);
      return true;
    case platform::VkEscape:
      Raise(OnCancel);
      Close();
      return true;
    case platform::VkF2:
      if (selected_ >= 0 && OnEdit) Raise([this] { OnEdit(selected_); });
      return true;
    case 'P':
      if (!Held(platform::VkControl)) return false;
      if (selected_ >= 0 && OnTogglePin) Raise([this] { OnTogglePin(selected_); });
      return true;
    default:
      // Home and End stay with the filter box, where they move the text cursor.
      return false;
  }
}

bool PopupList::Char(char16_t ch) {
  if (!IsOpen()) return false;
  // Enter and Esc come as characters too once their keys were used; the box must not get them.
  if (ch == u'\r' || ch == u'\n' || ch == 0x1B) return true;
  // Ctrl+P's character, once the key toggled a pin.
  if (ch == 0x10) return true;
  if (!filter_.empty() || ch < u'1' || ch > u'9') return false;
  const int index = ch - u'1';
  if (index < count_) {
    SetSelected(index);
    ClickItem(index);
  }
  return true;
}

void PopupList::ClickItem(int index) {
  if (!IsOpen() || index < 0 || index >= count_) return;
  if (Held(platform::VkControl)) {
    // The item picked so far stays in the highlight beside the one added.
    if (!ranged_ && added_.empty() && selected_ >= 0) added_.insert(selected_);
    if (ranged_) {
      for (int i : Highlighted()) added_.insert(i);
      ranged_ = false;
    }
    if (!added_.erase(index)) added_.insert(index);
    selected_ = index;
    anchor_ = index;
    ++highlightVersion_;
    Changed();
    return;
  }
  selected_ = index;
  // The owner gives the focus away first: a popup that hid while it had the focus would make
  // the system look for another window to activate, which the owner's choice then undoes.
  Raise([this, index] {
    if (OnPick) OnPick(index);
  });
  Close();
}

void PopupList::SetAside(bool aside) {
  if (aside_ == aside) return;
  aside_ = aside;
  Changed();
}

void PopupList::Deactivated() {
  if (!IsOpen() || aside_) return;
  Close();
  Raise(OnDismiss);
}

void PopupList::Raise(const std::function<void()>& handler) {
  if (handler) app_.Guard(handler);
}

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0; }
bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

}  // namespace

std::u16string PopupList::OneLine(std::u16string_view text, std::size_t maxChars) {
  // Each walk over blanks stops after BlankRun of them: an entry of a hundred megabytes of
  // spaces is drawn as quickly as any other, and what lies past the run is taken as more text.
  const std::size_t run = maxChars > 0 ? BlankRun : text.size();
  auto blanksFrom = [&](std::size_t at, bool withinLine) {
    const std::size_t stop = text.size() - at > run ? at + run : text.size();
    while (at < stop && IsBlank(text[at]) && !(withinLine && IsLineBreak(text[at]))) ++at;
    return at;
  };
  // Blank lines at the start would show as an empty item, so the first line is the first one
  // that holds anything.
  std::size_t begin = blanksFrom(0, false);
  std::size_t end = begin;
  // Only as far as the item can show: an entry may be one line of a hundred megabytes.
  const std::size_t limit = maxChars > 0 ? std::min(text.size(), begin + maxChars + 1) : text.size();
  while (end < limit && !IsLineBreak(text[end])) ++end;
  // The line goes on past what was looked at: it is longer than the room unless only blanks
  // follow up to its end.
  bool clipped = false;
  if (end == limit && limit < text.size()) {
    const std::size_t i = blanksFrom(end, true);
    clipped = i < text.size() && !IsLineBreak(text[i]);
    if (!clipped) end = i;
  }
  std::size_t lineEnd = end;
  while (lineEnd > begin && IsBlank(text[lineEnd - 1])) --lineEnd;
  const bool more = blanksFrom(end, false) < text.size();

  std::u16string line(text.substr(begin, lineEnd - begin));
  const bool shortened = maxChars > 0 && (line.size() > maxChars || clipped);
  if (shortened) {
    std::size_t cut = std::min(maxChars - 1, line.size());
    // Never half a surrogate pair.
    if (cut > 0 && platform::IsHighSurrogate(line[cut - 1])) --cut;
    while (cut > 0 && IsBlank(line[cut - 1])) --cut;
    line.resize(cut);
  }
  if (shortened || more) line += u'\u2026';
  return line;
}

}  // namespace ui
