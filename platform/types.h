// Handles, message numbers and flags of the desktop, with their Windows values.
//
// The names are the Windows names in CamelCase (WM_DRAWCLIPBOARD is WmDrawClipboard) so that
// they never collide with the macros of <windows.h> in the Win32 backend.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using Handle = std::uintptr_t;  // opaque; 0 is "none"
using Hwnd = Handle;
using Hglobal = Handle;
using Hkl = Handle;   // keyboard layout
using Hkey = Handle;  // registry key
using Hicon = Handle;
using Hevent = Handle;
using Uint = std::uint32_t;
using Dword = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

struct Point {
  int x = 0;
  int y = 0;
};

// Screen coordinates; right and bottom are just outside, as in a Windows RECT.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// Window messages.
constexpr Uint WmNull = 0x0000;
constexpr Uint WmCreate = 0x0001;
constexpr Uint WmDestroy = 0x0002;
constexpr Uint WmMove = 0x0003;
constexpr Uint WmSize = 0x0005;
constexpr Uint WmActivate = 0x0006;
constexpr Uint WmClose = 0x0010;
constexpr Uint WmQueryEndSession = 0x0011;
constexpr Uint WmQuit = 0x0012;
constexpr Uint WmEndSession = 0x0016;
constexpr Uint WmShowWindow = 0x0018;
constexpr Uint WmNcDestroy = 0x0082;
constexpr Uint WmKeyDown = 0x0100;
constexpr Uint WmKeyUp = 0x0101;
constexpr Uint WmChar = 0x0102;
constexpr Uint WmCommand = 0x0111;
constexpr Uint WmSysCommand = 0x0112;
constexpr Uint WmTimer = 0x0113;
constexpr Uint WmMouseMove = 0x0200;
constexpr Uint WmLButtonDown = 0x0201;
constexpr Uint WmLButtonUp = 0x0202;
constexpr Uint WmLButtonDblClk = 0x0203;
constexpr Uint WmRButtonDown = 0x0204;
constexpr Uint WmRButtonUp = 0x0205;
constexpr Uint WmRButtonDblClk = 0x0206;
constexpr Uint WmMButtonDown = 0x0207;
constexpr Uint WmMButtonUp = 0x0208;
constexpr Uint WmContextMenu = 0x007B;
constexpr Uint WmDrawClipboard = 0x0308;
constexpr Uint WmChangeCbChain = 0x030D;
constexpr Uint WmHotKey = 0x0312;
constexpr Uint WmRenderFormat = 0x0305;
constexpr Uint WmRenderAllFormats = 0x0306;
constexpr Uint WmDestroyClipboard = 0x0307;
// The window moved to a monitor of another DPI: HIWORD(wParam) is the new one, lParam points to
// the Rect the window should take.
constexpr Uint WmDpiChanged = 0x02E0;
// A system setting changed (lParam may name it, as "ImmersiveColorSet" for the apps' light or
// dark mode); the system colours or the visual style changed.
constexpr Uint WmSettingChange = 0x001A;
constexpr Uint WmSysColorChange = 0x0015;
constexpr Uint WmThemeChanged = 0x031A;
// The window's size is being chosen: lParam points to a MinMaxInfo.
constexpr Uint WmGetMinMaxInfo = 0x0024;
constexpr Uint WmUser = 0x0400;
constexpr Uint WmApp = 0x8000;

// WM_SIZE parameters.
constexpr WParam SizeRestored = 0;
constexpr WParam SizeMinimized = 1;
constexpr WParam SizeMaximized = 2;
// What WM_GETMINMAXINFO's lParam points to (MINMAXINFO).
struct MinMaxInfo {
  Point reserved, maxSize, maxPosition, minTrackSize, maxTrackSize;
};

// WM_SYSCOMMAND parameters. The low four bits of the code are the system's own, so a code is
// compared after SysCommandOf.
constexpr WParam SysCommandOf(WParam wParam) { return wParam & 0xFFF0; }
constexpr WParam ScMinimize = 0xF020;
constexpr WParam ScMaximize = 0xF030;
constexpr WParam ScClose = 0xF060;
constexpr WParam ScRestore = 0xF120;

// ShowWindow commands.
// PostMessage to every top-level window.
constexpr Hwnd HwndBroadcast = 0xFFFF;

constexpr int SwHide = 0;
constexpr int SwShowNormal = 1;
constexpr int SwShowMinimized = 2;
constexpr int SwShowMaximized = 3;
constexpr int SwShow = 5;
constexpr int SwMinimize = 6;
constexpr int SwShowNa = 8;
constexpr int SwRestore = 9;

// MessageBoxA flags and results.
constexpr Uint MbOk = 0x00000000;
constexpr Uint MbOkCancel = 0x00000001;
constexpr Uint MbYesNo = 0x00000004;
constexpr Uint MbIconError = 0x00000010;
constexpr Uint MbIconQuestion = 0x00000020;
constexpr Uint MbIconWarning = 0x00000030;
constexpr Uint MbIconInformation = 0x00000040;
constexpr int IdOk = 1;
constexpr int IdCancel = 2;
constexpr int IdYes = 6;
constexpr int IdNo = 7;

// Clipboard formats and global memory flags.
constexpr Uint CfText = 1;
constexpr Uint CfBitmap = 2;
constexpr Uint CfOemText = 7;
constexpr Uint CfDib = 8;
constexpr Uint CfUnicodeText = 13;
constexpr Uint CfLocale = 16;
constexpr Uint CfHdrop = 15;
constexpr Uint GmemMoveable = 0x0002;
constexpr Uint GmemDdeShare = 0x2000;

// The other standard clipboard formats, which a snapshot of the whole clipboard tells apart.
constexpr Uint CfMetafilePict = 3;
constexpr Uint CfPalette = 9;
constexpr Uint CfEnhMetafile = 14;
constexpr Uint CfDibV5 = 17;
constexpr Uint CfOwnerDisplay = 0x0080;
constexpr Uint CfDspBitmap = 0x0082;
constexpr Uint CfDspMetafilePict = 0x0083;
constexpr Uint CfDspEnhMetafile = 0x008E;
constexpr Uint CfPrivateFirst = 0x0200;  // private and GDI-object formats up to CfGdiObjLast
constexpr Uint CfGdiObjLast = 0x03FF;
constexpr Uint ImageBitmap = 0;  // CopyImage type

// Code pages.
constexpr Uint CpAcp = 0;

// Hotkey modifier flags (RegisterHotKey).
constexpr Uint ModAlt = 0x0001;
constexpr Uint ModControl = 0x0002;
constexpr Uint ModShift = 0x0004;
constexpr Uint ModWin = 0x0008;
constexpr Uint ModNoRepeat = 0x4000;

// Virtual-key codes the program names.
constexpr std::uint8_t VkReturn = 0x0D;
constexpr std::uint8_t VkShift = 0x10;
constexpr std::uint8_t VkControl = 0x11;
constexpr std::uint8_t VkMenu = 0x12;
constexpr std::uint8_t VkEscape = 0x1B;
constexpr std::uint8_t VkPrior = 0x21;
constexpr std::uint8_t VkNext = 0x22;
constexpr std::uint8_t VkUp = 0x26;
constexpr std::uint8_t VkDown = 0x28;
constexpr std::uint8_t VkInsert = 0x2D;
constexpr std::uint8_t VkDelete = 0x2E;
constexpr std::uint8_t VkV = 0x56;
constexpr std::uint8_t VkLWin = 0x5B;
constexpr std::uint8_t VkRWin = 0x5C;
constexpr std::uint8_t VkF2 = 0x71;
constexpr std::uint8_t VkLShift = 0xA0;
constexpr std::uint8_t VkRShift = 0xA1;
constexpr std::uint8_t VkLControl = 0xA2;
constexpr std::uint8_t VkRControl = 0xA3;
constexpr std::uint8_t VkLMenu = 0xA4;
constexpr std::uint8_t VkRMenu = 0xA5;

// keybd_event flags.
constexpr Dword KeyEventFExtendedKey = 0x0001;
constexpr Dword KeyEventFKeyUp = 0x0002;

// Keyboard layouts.
constexpr Uint KlfActivate = 0x00000001;
constexpr Uint KlfNoTellShell = 0x00000080;

// Waiting.
constexpr Dword WaitObject0 = 0x00000000;
constexpr Dword WaitTimeout = 0x00000102;
constexpr Dword QsAllInput = 0x04FF;

// Registry.
constexpr Hkey HkeyCurrentUser = 0x80000001;
constexpr Dword RegNone = 0;
constexpr Dword RegSz = 1;
constexpr Dword RegDword = 4;
constexpr Dword KeyQueryValue = 0x0001;
constexpr Dword KeyAllAccess = 0xF003F;
constexpr long ErrorSuccess = 0;

// Notification area.
constexpr Dword NimAdd = 0;
constexpr Dword NimModify = 1;
constexpr Dword NimDelete = 2;
constexpr Dword NimSetVersion = 4;
constexpr Uint NifMessage = 0x1;
constexpr Uint NifIcon = 0x2;
constexpr Uint NifTip = 0x4;
constexpr Uint NifInfo = 0x10;
constexpr Dword NiifInfo = 0x1;
constexpr Dword NiifWarning = 0x2;

// TrackPopupMenu flags.
constexpr Uint TpmLeftAlign = 0x0000;
constexpr Uint TpmRightButton = 0x0002;

// System colour indexes.
constexpr int ColorInactiveCaption = 3;
constexpr int ColorHighlight = 13;
constexpr int ColorMenuHilight = 29;

// Windows error codes (GetLastError) the program tells apart.
constexpr Dword ErrorFileNotFound = 2;
constexpr Dword ErrorPathNotFound = 3;
constexpr Dword ErrorTooManyOpenFiles = 4;
constexpr Dword ErrorAccessDenied = 5;
constexpr Dword ErrorSharingViolation = 32;
constexpr Dword ErrorLockViolation = 33;
constexpr Dword ErrorInvalidName = 123;
constexpr Dword ErrorHandleDiskFull = 39;
constexpr Dword ErrorNotSupported = 50;
constexpr Dword ErrorDiskFull = 112;
constexpr Dword ErrorHotKeyAlreadyRegistered = 1409;

inline Uint LoWord(std::uintptr_t v) { return static_cast<Uint>(v & 0xFFFF); }
inline Uint HiWord(std::uintptr_t v) { return static_cast<Uint>((v >> 16) & 0xFFFF); }

}  // namespace platform
