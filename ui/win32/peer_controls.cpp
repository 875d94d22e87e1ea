// The peers of the standard controls: buttons, check boxes, radio buttons, labels, edits, memos,
// combo boxes, list boxes, group boxes and images.
#include <algorithm>

#include "ui/controls.h"
#include "ui/win32/peer_base.h"

namespace win32::peers {

namespace {

std::wstring WindowText(HWND window) {
  int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

// Sets a window's text only when it differs, so that an unchanged text keeps its caret and
// selection and does not flicker.
void SyncText(HWND window, const std::wstring& text) {
  if (window && WindowText(window) != text) ::SetWindowTextW(window, text.c_str());
}

bool NativeChecked(HWND window) { return ::SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SyncCheck(HWND window, bool checked) {
  if (window && NativeChecked(window) != checked)
    ::SendMessageW(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

class ButtonPeer final : public ControlPeer {
 public:
  ButtonPeer(std::shared_ptr<FormHost> host, ui::Button& button)
      : ControlPeer(std::move(host), button), button_(button) {
    CreateWindowFor(WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, Host().ShownCaption(button));
  }

 private:
  void UpdateState() override { SyncText(Window(), Host().ShownCaption(button_)); }

  bool OnCommand(UINT code) override {
    if (code != BN_CLICKED) return false;
    Raise([this] { button_.Click(); });
    return true;
  }

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    LRESULT result = 0;
    if (PaintInTheme(msg, wParam, result)) return result;
    result = ControlPeer::WindowProc(msg, wParam, lParam);
    RepaintAfter(msg);
    return result;
  }

  ui::Button& button_;
};

class CheckBoxPeer final : public ControlPeer {
 public:
  CheckBoxPeer(std::shared_ptr<FormHost> host, ui::CheckBox& box)
      : ControlPeer(std::move(host), box), box_(box) {
    // A caption longer than the box wraps onto a second line.
    CreateWindowFor(WC_BUTTONW, BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP | WS_GROUP, 0,
                    Host().ShownCaption(box));
  }

 private:
  void UpdateState() override { SyncCheck(Window(), box_.Checked()); }

  // The box has changed itself by the time it reports the click; the control follows it.
  bool OnCommand(UINT code) override {
    if (code != BN_CLICKED) return false;
    if (!Updating() && NativeChecked(Window()) != box_.Checked()) Raise([this] { box_.Toggle(); });
    return true;
  }

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    // Before the default handling: the space bar's character comes on key-down, while the box
    // still has its old state; it changes on key-up.
    if (msg == WM_CHAR && wParam != L'\t') {
      char key = AnsiFromWideChar(static_cast<wchar_t>(wParam));
      Raise([this, key] { box_.KeyPress(key); });
    }
    LRESULT result = 0;
    if (PaintInTheme(msg, wParam, result)) return result;
    result = ControlPeer::WindowProc(msg, wParam, lParam);
    RepaintAfter(msg);
    return result;
  }

  ui::CheckBox& box_;
};

class RadioButtonPeer final : public ControlPeer {
 public:
  RadioButtonPeer(std::shared_ptr<FormHost> host, ui::RadioButton& radio)
      : ControlPeer(std::move(host), radio), radio_(radio) {
    // The button unchecks the other buttons of its native group itself; a group starts at a
    // window with WS_GROUP, so the first radio button of each parent starts one, and every other
    // kind of control carries the style and ends it.
    CreateWindowFor(WC_BUTTONW, BS_AUTORADIOBUTTON | WS_TABSTOP | (FirstOfParent() ? WS_GROUP : 0), 0,
                    Host().ShownCaption(radio));
  }

  // The Tab key enters a group at its checked button, or at its first when none is checked.
  bool TabStop() const override {
    if (!Window()) return false;
    if (radio_.Checked()) return true;
    for (ui::Control* sibling : radio_.Parent()->Children())
      if (auto* other = dynamic_cast<ui::RadioButton*>(sibling); other && other->Checked()) return false;
    return FirstOfParent();
  }

 private:
  bool FirstOfParent() const {
    for (ui::Control* sibling : radio_.Parent()->Children())
      if (dynamic_cast<ui::RadioButton*>(sibling)) return sibling == &radio_;
    return false;
  }

  void UpdateState() override { SyncCheck(Window(), radio_.Checked()); }

  bool OnCommand(UINT code) override {
    if (code != BN_CLICKED) return false;
    if (!Updating() && NativeChecked(Window()) && !radio_.Checked()) Raise([this] { radio_.Click(); });
    return true;
  }

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    LRESULT result = 0;
    if (PaintInTheme(msg, wParam, result)) return result;
    result = ControlPeer::WindowProc(msg, wParam, lParam);
    RepaintAfter(msg);
    return result;
  }

  ui::RadioButton& radio_;
};

class LabelPeer final : public ControlPeer {
 public:
  LabelPeer(std::shared_ptr<FormHost> host, ui::Label& label)
      : ControlPeer(std::move(host), label), label_(label) {
    CreateWindowFor(WC_STATICW, Style() | WS_GROUP, 0, WideFromUtf8(label.Caption()));
  }

  bool TabStop() const override { return false; }

 private:
  DWORD Style() const {
    DWORD alignment = label_.RightAligned ? SS_RIGHT : label_.WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
    return SS_NOTIFY | alignment;
  }

  void UpdateState() override {
    SetStyle(Style(), SS_TYPEMASK);
    HFONT font = label_.Underline ? Host().UnderlinedFont() : Host().Font();
    if (font != font_) {
      font_ = font;
      ::SendMessageW(Window(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    SyncText(Window(), WideFromUtf8(label_.Caption()));
    if (label_.ColorIndex() != colorIndex_) {
      colorIndex_ = label_.ColorIndex();
      ::InvalidateRect(Window(), nullptr, TRUE);
    }
  }

  // A label that sizes itself takes the extent of its text: the width too unless it wraps,
  // keeping its right edge when it is right-aligned.
  void AdjustRect(RECT& rect) override {
    if (!label_.AutoSize || !Window()) return;
    std::wstring text = WideFromUtf8(label_.Caption());
    HDC dc = ::GetDC(Window());
    HGDIOBJ old = ::SelectObject(dc, font_ ? font_ : Host().Font());
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    RECT extent = {0, 0, label_.WordWrap ? rect.right - rect.left : 0, 0};
    if (!text.empty())
      ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent,
                  DT_CALCRECT | DT_EXPANDTABS | (label_.WordWrap ? DT_WORDBREAK : 0));
    ::SelectObject(dc, old);
    ::ReleaseDC(Window(), dc);
    int height = std::max<int>(extent.bottom, metrics.tmHeight);
    // Scaled fonts may draw their last letter a little past the width they measure (Wine's at
    // 120 DPI do): a spare pixel or two keeps it whole.
    if (!text.empty()) extent.right += Host().Form().Scale(2);
    if (!label_.WordWrap) {
      if (label_.RightAligned)
        rect.left = rect.right - extent.right;
      else
        rect.right = rect.left + extent.right;
    }
    rect.bottom = rect.top + height;
  }

  HBRUSH OnCtlColorStatic(HDC dc) override {
    HBRUSH brush = ControlPeer::OnCtlColorStatic(dc);
    // A link keeps its system colour where that reads on the background: not on a dark one.
    if (label_.ColorIndex() >= 0)
      ::SetTextColor(dc, Host().Dark() ? Host().Theme().link
                                       : Host().Form().Desktop().Windows().GetSysColor(label_.ColorIndex()));
    return brush;
  }

  bool OnSetCursor() override {
    if (!label_.HandCursor) return false;
    ::SetCursor(::LoadCursorA(nullptr, IDC_HAND));
    return true;
  }

  bool OnCommand(UINT code) override {
    if (code != STN_CLICKED) return false;
    Raise([this] { label_.Click(); });
    return true;
  }

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_MOUSEMOVE:
        if (!tracking_) {
          // Windows reports the leaving only to those who ask, once per asking.
          TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, Window(), 0};
          tracking_ = ::TrackMouseEvent(&track) != FALSE;
          Raise([this] { label_.MouseEnter(); });
        }
        break;
      case WM_MOUSELEAVE:
        tracking_ = false;
        Raise([this] { label_.MouseLeave(); });
        break;
    }
    return ControlPeer::WindowProc(msg, wParam, lParam);
  }

  ui::Label& label_;
  HFONT font_ = nullptr;
  int colorIndex_ = -1;
  bool tracking_ = false;
};

// A multi-line edit breaks lines only at CR LF.
std::wstring WithCrLf(const std::wstring& text) {
  std::wstring result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) result += L'\r';
    result += text[i];
  }
  return result;
}

class EditPeer final : public ControlPeer {
 public:
  EditPeer(std::shared_ptr<FormHost> host, ui::Edit& edit) : ControlPeer(std::move(host), edit), edit_(edit) {
    DWORD style = WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
    if (edit.MultiLine) {
      style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
      if (edit.ScrollBars)
        style |= WS_VSCROLL | WS_HSCROLL;
      else
        style &= ~ES_AUTOHSCROLL;  // without a horizontal scroll bar the lines wrap
    }
    multiLine_ = edit.MultiLine;
    CreateWindowFor(WC_EDITW, style, WS_EX_CLIENTEDGE, Shown());
    if (Window() && !edit.CueText.empty()) {
      // Shown while the box is empty, also while it has the focus.
      const std::wstring cue = WideFromUtf8(edit.CueText);
      ::SendMessageW(Window(), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
    }
  }

  void FocusedByTab() override {
    if (!multiLine_) ::SendMessageW(Window(), EM_SETSEL, 0, -1);
  }

 private:
  std::wstring Shown() const {
    std::wstring text = WideFromUtf16(edit_.Text());
    return multiLine_ ? WithCrLf(text) : text;
  }

  void UpdateState() override {
    SyncText(Window(), Shown());
    if (edit_.AllSelected()) ::SendMessageW(Window(), EM_SETSEL, 0, -1);
  }

  bool OnCommand(UINT code) override {
    if (code != EN_CHANGE) return false;
    if (!Updating()) Raise([this] { edit_.UserSetText(Utf16FromWide(WindowText(Window()))); });
    return true;
  }

  ui::Edit& edit_;
  bool multiLine_ = false;
};

class MemoPeer final : public ControlPeer {
 public:
  MemoPeer(std::shared_ptr<FormHost> host, ui::Memo& memo) : ControlPeer(std::move(host), memo), memo_(memo) {
    CreateWindowFor(WC_EDITW,
                    WS_TABSTOP | WS_GROUP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL,
                    WS_EX_CLIENTEDGE);
  }

 private:
  void UpdateState() override {
    std::string joined;
    for (std::size_t i = 0; i < memo_.Lines().size(); ++i) {
      if (i > 0) joined += "\r\n";
      joined += memo_.Lines()[i];
    }
    SyncText(Window(), WideFromAnsi(joined));
  }

  ui::Memo& memo_;
};

// The messages of combo boxes and list boxes differ only in their names.
struct ListMessages {
  UINT reset, add, getSel, setSel;
  UINT selChange;
};

constexpr ListMessages kComboMessages = {CB_RESETCONTENT, CB_ADDSTRING, CB_GETCURSEL, CB_SETCURSEL,
                                         CBN_SELCHANGE};
constexpr ListMessages kListMessages = {LB_RESETCONTENT, LB_ADDSTRING, LB_GETCURSEL, LB_SETCURSEL,
                                        LBN_SELCHANGE};

class ItemListPeer : public ControlPeer {
 public:
  ItemListPeer(std::shared_ptr<FormHost> host, ui::ItemList& list, const ListMessages& messages)
      : ControlPeer(std::move(host), list), list_(list), messages_(messages) {}

 protected:
  void UpdateState() override {
    HWND window = Window();
    if (!window) return;
    // A list filled item by item is told of each addition: only the new items are added, as
    // sending the whole list again each time cost the start-up half a second under Wine for a
    // list of all the keys.
    const std::vector<ui::ListItem>& items = list_.Items();
    std::size_t kept = 0;
    while (kept < shown_.size() && kept < items.size() && shown_[kept] == items[kept].text) ++kept;
    if (kept < shown_.size()) {
      ::SendMessageW(window, messages_.reset, 0, 0);
      shown_.clear();
      kept = 0;
    }
    for (std::size_t i = kept; i < items.size(); ++i) {
      std::wstring text = WideFromAnsi(items[i].text);
      ::SendMessageW(window, messages_.add, 0, reinterpret_cast<LPARAM>(text.c_str()));
      shown_.push_back(items[i].text);
    }
    if (::SendMessageW(window, messages_.getSel, 0, 0) != list_.ItemIndex())
      ::SendMessageW(window, messages_.setSel, static_cast<WPARAM>(list_.ItemIndex()), 0);
  }

  bool OnCommand(UINT code) override {
    // A drop-down list that closes without a choice puts back the selection it had, without
    // a change notification; closing is therefore a change to look for as well.
    bool closed = messages_.selChange == CBN_SELCHANGE && (code == CBN_CLOSEUP || code == CBN_SELENDCANCEL);
    if (code != messages_.selChange && !closed) return false;
    if (!Updating()) {
      auto index = static_cast<int>(::SendMessageW(Window(), messages_.getSel, 0, 0));
      if (index != list_.ItemIndex()) Raise([this, index] { list_.SetItemIndex(index); });
    }
    return true;
  }

 private:
  ui::ItemList& list_;
  const ListMessages& messages_;
  std::vector<std::string> shown_;
};

class ComboBoxPeer final : public ItemListPeer {
 public:
  ComboBoxPeer(std::shared_ptr<FormHost> host, ui::ComboBox& combo)
      : ItemListPeer(std::move(host), combo, kComboMessages), combo_(combo) {
    CreateWindowFor(WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 0);
  }

 private:
  void UpdateState() override {
    ItemListPeer::UpdateState();
    ::SendMessageW(Window(), CB_SETMINVISIBLE, static_cast<WPARAM>(combo_.DropDownCount), 0);
  }

  // A combo box's window height is that of its field and its open list together.
  void AdjustRect(RECT& rect) override {
    auto itemHeight = static_cast<int>(::SendMessageW(Window(), CB_GETITEMHEIGHT, 0, 0));
    rect.bottom += combo_.DropDownCount * (itemHeight > 0 ? itemHeight : 13) + 2;
  }

  ui::ComboBox& combo_;
};

class ListBoxPeer final : public ItemListPeer {
 public:
  ListBoxPeer(std::shared_ptr<FormHost> host, ui::ListBox& list)
      : ItemListPeer(std::move(host), list, kListMessages) {
    CreateWindowFor(WC_LISTBOXW, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
                    WS_EX_CLIENTEDGE);
  }
};

void DrawUnthemed(HWND window) {
  HMODULE theme = ::GetModuleHandleW(L"uxtheme.dll");
  if (!theme) theme = ::LoadLibraryW(L"uxtheme.dll");
  if (!theme || !window) return;
  using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  // Through void(*)() so that the cast between unrelated function types is a deliberate one.
  auto setWindowTheme = reinterpret_cast<SetWindowThemeFunction>(
      reinterpret_cast<void (*)()>(::GetProcAddress(theme, "SetWindowTheme")));
  if (setWindowTheme) setWindowTheme(window, L"", L"");
}

class GroupBoxPeer final : public ControlPeer {
 public:
  GroupBoxPeer(std::shared_ptr<FormHost> host, ui::GroupBox& group) : ControlPeer(std::move(host), group) {
    CreateWindowFor(WC_BUTTONW, BS_GROUPBOX | WS_GROUP, 0, WideFromUtf8(group.Caption()));
    // A themed group box fills itself with its parent's background, the form's, rather than
    // the tab page's that shows around it; drawn plain it leaves its inside to WM_ERASEBKGND.
    DrawUnthemed(Window());
  }

  bool TabStop() const override { return false; }

 private:
  // A group box draws only its frame and caption; its inside would keep whatever was there.
  // In dark colours it is drawn here: the system draws its caption in black whatever it is told.
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (Host().Dark() && (msg == WM_PAINT || msg == WM_PRINTCLIENT)) {
      PAINTSTRUCT paint = {};
      HDC dc = msg == WM_PAINT ? ::BeginPaint(Window(), &paint) : reinterpret_cast<HDC>(wParam);
      PaintDark(dc);
      if (msg == WM_PAINT) ::EndPaint(Window(), &paint);
      return 0;
    }
    if (msg == WM_ERASEBKGND) {
      RECT client;
      ::GetClientRect(Window(), &client);
      ::FillRect(reinterpret_cast<HDC>(wParam), &client, BackdropBrush());
      return 1;
    }
    return ControlPeer::WindowProc(msg, wParam, lParam);
  }

  void PaintDark(HDC dc) {
    const ui::Theme& theme = Host().Theme();
    RECT client;
    ::GetClientRect(Window(), &client);
    const HGDIOBJ old = ::SelectObject(dc, Host().Font());
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    RECT frame = {client.left, client.top + metrics.tmHeight / 2, client.right, client.bottom};
    ::FrameRect(dc, &frame, SolidBrush(theme.rule));
    const std::wstring caption = WindowText(Window());
    if (!caption.empty()) {
      RECT text = {client.left + Host().Form().Scale(8), client.top, client.right,
                   client.top + metrics.tmHeight};
      ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_CALCRECT | DT_SINGLELINE);
      RECT behind = {text.left - 2, text.top, text.right + 2, text.bottom};
      ::FillRect(dc, &behind, BackdropBrush());
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, ::IsWindowEnabled(Window()) ? theme.faceText : theme.grayText);
      ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_SINGLELINE);
    }
    ::SelectObject(dc, old);
  }
};

class ImagePeer final : public ControlPeer {
 public:
  ImagePeer(std::shared_ptr<FormHost> host, ui::Image& image)
      : ControlPeer(std::move(host), image), image_(image) {
    CreateWindowFor(WC_STATICW, SS_ICON | SS_NOTIFY | SS_CENTERIMAGE | WS_GROUP, 0);
    auto icon = To<HICON>(Host().Form().Desktop().Windows().LoadMainIcon(Host().Form().Scale(48)));
    if (Window() && icon) ::SendMessageW(Window(), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  }

  bool TabStop() const override { return false; }

 private:
  bool OnCommand(UINT code) override {
    if (code != STN_CLICKED) return false;
    Raise([this] { image_.Click(); });
    return true;
  }

  bool OnSetCursor() override {
    if (!image_.HandCursor) return false;
    ::SetCursor(::LoadCursorA(nullptr, IDC_HAND));
    return true;
  }

  ui::Image& image_;
};

}  // namespace

std::unique_ptr<ControlPeer> MakeStandardPeer(const std::shared_ptr<FormHost>& host, ui::Control& control) {
  if (auto* c = dynamic_cast<ui::Button*>(&control)) return std::make_unique<ButtonPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::CheckBox*>(&control)) return std::make_unique<CheckBoxPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::RadioButton*>(&control)) return std::make_unique<RadioButtonPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::Label*>(&control)) return std::make_unique<LabelPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::Edit*>(&control)) return std::make_unique<EditPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::Memo*>(&control)) return std::make_unique<MemoPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::ComboBox*>(&control)) return std::make_unique<ComboBoxPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::ListBox*>(&control)) return std::make_unique<ListBoxPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::GroupBox*>(&control)) return std::make_unique<GroupBoxPeer>(host, *c);
  if (auto* c = dynamic_cast<ui::Image*>(&control)) return std::make_unique<ImagePeer>(host, *c);
  return nullptr;
}

}  // namespace win32::peers
