// The windows that the main window opens, each a single instance for the whole run.
#pragma once

namespace app {

class TAbout_f;
class TTasks_form;

extern TAbout_f* About_f;
extern TTasks_form* Tasks_form;

}  // namespace app
