#include "ui/keyboard_access.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "ui/controls.h"
#include "ui/popup_list.h"
#include "ui/table_grid.h"

namespace ui {

bool TakesFocus(const Control& control) {
  return dynamic_cast<const Button*>(&control) || dynamic_cast<const CheckBox*>(&control) ||
         dynamic_cast<const RadioButton*>(&control) || dynamic_cast<const Edit*>(&control) ||
         dynamic_cast<const Memo*>(&control) || dynamic_cast<const ItemList*>(&control) ||
         dynamic_cast<const TableGrid*>(&control) || dynamic_cast<const PageControl*>(&control);
}

namespace {

// Siblings by rows: sorted by their tops, a row is the run of those that start above the
// bottom of its first one; left to right within a row.
std::vector<Control*> InReadingOrder(const Control& parent) {
  std::vector<Control*> children = parent.Children();
  std::stable_sort(children.begin(), children.end(), [](const Control* a, const Control* b) {
    return a->GetBounds().top < b->GetBounds().top;
  });
  std::vector<Control*> ordered;
  std::size_t start = 0;
  while (start < children.size()) {
    const Bounds& first = children[start]->GetBounds();
    std::size_t end = start + 1;
    while (end < children.size() && children[end]->GetBounds().top < first.top + std::max(1, first.height))
      ++end;
    std::stable_sort(
        children.begin() + static_cast<std::ptrdiff_t>(start),
        children.begin() + static_cast<std::ptrdiff_t>(end),
        [](const Control* a, const Control* b) { return a->GetBounds().left < b->GetBounds().left; });
    ordered.insert(ordered.end(), children.begin() + static_cast<std::ptrdiff_t>(start),
                   children.begin() + static_cast<std::ptrdiff_t>(end));
    start = end;
  }
  return ordered;
}

void Collect(const Control& parent, std::vector<Control*>& out) {
  // The pages of a page control keep their order, whatever their (empty) bounds say.
  const bool pages = dynamic_cast<const PageControl*>(&parent) != nullptr;
  for (Control* child : pages ? parent.Children() : InReadingOrder(parent)) {
    if (TakesFocus(*child)) out.push_back(child);
    Collect(*child, out);
  }
}

bool IsKeyChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
char Folded(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

std::vector<Control*> TabSequence(Control& root) {
  std::vector<Control*> sequence;
  Collect(root, sequence);
  std::stable_sort(sequence.begin(), sequence.end(), [](const Control* a, const Control* b) {
    const int left = a->TabOrder() >= 0 ? a->TabOrder() : INT_MAX;
    const int right = b->TabOrder() >= 0 ? b->TabOrder() : INT_MAX;
    return left < right;
  });
  return sequence;
}

bool HasAccessKey(const Control& control) {
  return dynamic_cast<const Button*>(&control) || dynamic_cast<const CheckBox*>(&control) ||
         dynamic_cast<const RadioButton*>(&control);
}

std::string CaptionOf(const Control& control) {
  if (auto* c = dynamic_cast<const Button*>(&control)) return c->Caption();
  if (auto* c = dynamic_cast<const CheckBox*>(&control)) return c->Caption();
  if (auto* c = dynamic_cast<const RadioButton*>(&control)) return c->Caption();
  return {};
}

std::vector<std::size_t> AccessKeys(const std::vector<std::string>& captions) {
  std::vector<std::size_t> keys(captions.size(), std::string::npos);
  std::string taken;
  // Captions that name their own key keep it, whatever their place.
  for (std::size_t i = 0; i < captions.size(); ++i) {
    const std::string& caption = captions[i];
    for (std::size_t k = 0; k + 1 < caption.size(); ++k) {
      if (caption[k] != '&') continue;
      if (caption[k + 1] == '&') {
        ++k;
        continue;
      }
      if (IsKeyChar(caption[k + 1])) {
        keys[i] = k + 1;
        taken += Folded(caption[k + 1]);
      }
      break;
    }
  }
  for (std::size_t i = 0; i < captions.size(); ++i) {
    if (keys[i] != std::string::npos) continue;
    const std::string& caption = captions[i];
    auto free = [&](std::size_t k) {
      return IsKeyChar(caption[k]) && taken.find(Folded(caption[k])) == std::string::npos;
    };
    std::size_t chosen = std::string::npos;
    for (std::size_t k = 0; k < caption.size() && chosen == std::string::npos; ++k)
      if ((k == 0 || caption[k - 1] == ' ') && free(k)) chosen = k;
    for (std::size_t k = 0; k < caption.size() && chosen == std::string::npos; ++k)
      if (free(k)) chosen = k;
    if (chosen == std::string::npos) continue;
    keys[i] = chosen;
    taken += Folded(caption[chosen]);
  }
  return keys;
}

std::string WithAccessKey(const std::string& caption, std::size_t key) {
  if (key != std::string::npos && key > 0 && caption[key - 1] == '&') return caption;  // set by the caption
  std::string shown;
  for (std::size_t k = 0; k < caption.size(); ++k) {
    if (k == key) shown += '&';
    shown += caption[k];
    if (caption[k] == '&') shown += '&';
  }
  return shown;
}

}  // namespace ui
