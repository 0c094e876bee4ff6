#include "ui/Companions.h"

TfrmEditWord* frmEditWord = nullptr;
TfrmGridLines* frmGridLines = nullptr;
TfrmAbout* frmAbout = nullptr;
TfrmPinout* frmPinout = nullptr;
