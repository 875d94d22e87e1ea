// The clipboard's plain text (CF_UNICODETEXT, UTF-16), read and replaced on behalf of a window.
#pragma once

#include <string>

#include "platform/desktop.h"

namespace clipboard {

// Formats by which a program marks its clipboard content as not meant for monitors and
// histories (password managers do).
constexpr const char* ExcludeFromMonitorFormat = "ExcludeClipboardContentFromMonitorProcessing";
constexpr const char* ViewerIgnoreFormat = "Clipboard Viewer Ignore";
constexpr const char* CanIncludeInHistoryFormat = "CanIncludeInClipboardHistory";
// Its sibling "CanUploadToCloudClipboard" is about sharing the clipboard with other machines,
// which this program does not do; it is not read.

// Opens the clipboard for `owner` and reads its CF_UNICODETEXT, cut at the first zero. Content
// that offers no Unicode text but CF_TEXT is read from that, converted with the code page of
// its CF_LOCALE (the ANSI code page when it states none). `text` should be empty on entry; it
// stays so when the clipboard cannot be opened or holds no text, and the result is false. A
// block that cannot be locked raises platform::Error.
bool GetClipboardText(platform::Desktop& desktop, platform::Hwnd owner, std::u16string& text);

// The same read, which also tells whether the content's owner marked it private (see the
// formats above). `markedPrivate` is false when the clipboard could not be opened.
bool GetClipboardText(platform::Desktop& desktop, platform::Hwnd owner, std::u16string& text,
                      bool& markedPrivate);

// The same two reads of a clipboard the caller has opened.
bool ReadOpenClipboardText(platform::Desktop& desktop, std::u16string& text);
bool OpenClipboardMarkedPrivate(platform::Desktop& desktop);
// Whether the owner of the content of the clipboard the caller has opened asked that it not
// leave this computer: "CanUploadToCloudClipboard" as the DWORD 0, or a value that cannot be read.
bool OpenClipboardKeptOffCloud(platform::Desktop& desktop);

// Replaces the whole clipboard content with `text` as CF_UNICODETEXT; the system offers it as
// CF_TEXT and CF_OEMTEXT to older programs. False, with the clipboard untouched, when it cannot
// be opened. A failure after the open (no memory, a block that cannot be locked, the clipboard
// refusing it) frees the new block and raises platform::Error.
bool SetClipboardText(platform::Desktop& desktop, platform::Hwnd owner, const std::u16string& text);
// The same, and with `markPrivate` the text also carries the mark that keeps clipboard monitors
// and histories, this program's included, from recording it.
bool SetClipboardText(platform::Desktop& desktop, platform::Hwnd owner, const std::u16string& text,
                      bool markPrivate);

}  // namespace clipboard
