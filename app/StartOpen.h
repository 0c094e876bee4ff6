#pragma once
// A definition named on the command line is opened through File > Open
// itself, with the name standing in for the open dialog's answer, so its
// messages, title and header read-back are the menu's own.
#include <string>

class TfrmMain;

// True when `name` became the document. A file that can't be read gets
// "Can't open file %s" and leaves the window as it was; a refused one gets
// the definition's own message.
bool OpenAtStart(TfrmMain& frm, const std::string& name);
