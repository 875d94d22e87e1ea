// How the keyboard reaches a form's controls: the order the Tab key visits them in, and the
// access keys (Alt and a letter) of its buttons and check boxes.
#pragma once

#include <string>
#include <vector>

#include "ui/control.h"

namespace ui {

// Whether the user can give the control the focus: buttons, boxes, edits, lists, tables and
// page controls; not labels, group boxes, tab sheets or pictures.
bool TakesFocus(const Control& control);

// The controls under `root` that take the focus, in the order the Tab key visits them: those
// numbered with SetTabOrder first, by their number; the rest in reading order, container by
// container, row by row from the top, left to right within a row.
std::vector<Control*> TabSequence(Control& root);

// The controls that get an access key: buttons, check boxes and radio buttons.
bool HasAccessKey(const Control& control);
std::string CaptionOf(const Control& control);

// For each caption, the index of the byte that is its access key, or std::string::npos for
// none: an "&" the caption sets itself, else the first letter or digit no caption before it
// took, the first letters of its words before its other letters.
std::vector<std::size_t> AccessKeys(const std::vector<std::string>& captions);
// The caption as a Windows control shows it: "&" before the key, and every "&" of its own text
// doubled so that it shows as itself.
std::string WithAccessKey(const std::string& caption, std::size_t key);

}  // namespace ui
