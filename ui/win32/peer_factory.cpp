#include "ui/win32/peer_factory.h"

#include <algorithm>
#include <climits>

#include "ui/win32/peer_base.h"

namespace win32 {

namespace peers {

namespace {

std::unique_ptr<ControlPeer> MakePeer(const std::shared_ptr<FormHost>& host, ui::Control& control) {
  if (auto peer = MakeTablePeer(host, control)) return peer;
  if (auto peer = MakePagePeer(host, control)) return peer;
  return MakeStandardPeer(host, control);
}

// The order in which the Tab key visits siblings is the order their windows are made in.
std::vector<ui::Control*> InTabOrder(const ui::Control& parent) {
  std::vector<ui::Control*> children = parent.Children();
  std::stable_sort(children.begin(), children.end(), [](const ui::Control* a, const ui::Control* b) {
    int left = a->TabOrder() >= 0 ? a->TabOrder() : INT_MAX;
    int right = b->TabOrder() >= 0 ? b->TabOrder() : INT_MAX;
    return left < right;
  });
  return children;
}

}  // namespace

void AttachMissingPeers(const std::shared_ptr<FormHost>& host, ui::Control& parent) {
  for (ui::Control* child : InTabOrder(parent)) {
    // A peer of another host belongs to an earlier window of the form, gone with its controls.
    if (ControlPeer* old = PeerOf(*child); !old || &old->Host() != host.get())
      if (auto peer = MakePeer(host, *child)) child->AttachPeer(std::move(peer));
    AttachMissingPeers(host, *child);
    // A container goes below its contents, which lie over it as its siblings; the ones inside
    // it have gone to the bottom before it, so it ends below them too.
    if (ControlPeer* peer = PeerOf(*child); peer && peer->Window() && !child->Children().empty())
      ::SetWindowPos(peer->Window(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

}  // namespace peers

// Once, before any peer makes a control: the standard controls, the list views and tab controls,
// and the rest of the Windows 95 set, whose tooltips those two make for themselves.
Win32PeerFactory::Win32PeerFactory() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
}

void Win32PeerFactory::CreatePeers(ui::Form& form) {
  if (!form.HandleAllocated()) return;
  auto host = std::make_shared<peers::FormHost>(form);
  host->Attach();
  peers::AttachMissingPeers(host, form);
  form.AttachPeer(peers::MakeFormPeer(host));
}

}  // namespace win32
