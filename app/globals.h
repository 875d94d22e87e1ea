// The three windows of the program, each a single instance for the whole run.
#pragma once

namespace actions {
class TTasks_form;
}

namespace app {

class TForm1;
class TAbout_f;

extern TForm1* Form1;
extern TAbout_f* About_f;
extern actions::TTasks_form* Tasks_form;

}  // namespace app
