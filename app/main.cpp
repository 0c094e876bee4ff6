// Diduvuve: creates the program's windows once, in order, and runs the event loop.
#include "ui/Companions.h"
#include "ui/Main.h"
#include "ui/QtDialogs.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Diduvuve");
    TLxQtDialogs dialogs;
    SetDialogs(&dialogs);

    TfrmMain frmMain;
    TfrmEditWord editWord(&frmMain);
    TfrmGridLines gridLines(&frmMain);
    TfrmAbout about(&frmMain);
    TfrmPinout pinout(&frmMain);
    frmEditWord = &editWord;
    frmGridLines = &gridLines;
    frmAbout = &about;
    frmPinout = &pinout;

    frmMain.show();
    const int rc = app.exec();
    frmEditWord = nullptr;
    frmGridLines = nullptr;
    frmAbout = nullptr;
    frmPinout = nullptr;
    SetDialogs(nullptr);
    return rc;
}
