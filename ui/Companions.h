#pragma once
// The companion windows, created once at start-up after the main window.
#include "definitions/EditWord.h"
#include "ui/About.h"
#include "ui/GridLines.h"
#include "ui/PinOut.h"

extern TfrmEditWord* frmEditWord;
extern TfrmGridLines* frmGridLines;
extern TfrmAbout* frmAbout;
extern TfrmPinout* frmPinout;
