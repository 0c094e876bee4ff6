// Diduvuve [FILE.ald]: creates the program's windows once, in order, opens
// the named definition as File > Open would, and runs the event loop.
#include "app/StartOpen.h"
#include "ui/Application.h"
#include "ui/Companions.h"
#include "ui/Main.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

const char* const Usage =
    "Usage: Diduvuve [FILE.ald]\n"
    "ALDL 8192 baud Analyser: reads and charts the data stream of an engine control\n"
    "module through a serial ALDL cable, or replays a recorded log.\n"
    "\n"
    "  FILE.ald      open this definition at start, as File > Open would\n"
    "  --help        show this text and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "Serial port COMn is $XDG_CONFIG_HOME/serilink/COMn (a link to the device),\n"
    "else /dev/ttyUSB<n-1>, else /dev/ttyS<n-1>. Settings are kept in Diduvuve.ini\n"
    "in the current folder.\n";

// Answered before the application exists, so they work without a display.
// Returns -1 to go on, else the exit code.
int EarlyOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Diduvuve %s\n", DIDUVUVE_VERSION);
            return 0;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int rc = EarlyOptions(argc, argv); rc >= 0) return rc;
    TLxApplication app(argc, argv); // an error a command throws ends that command only
    QApplication::setApplicationName("Diduvuve");
    QApplication::setApplicationVersion(DIDUVUVE_VERSION);

    // Qt has taken its own options out of the list by now.
    QStringList files;
    bool optionsEnd = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (!optionsEnd && args[i] == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && args[i].startsWith('-') && args[i] != "-") {
            std::fprintf(stderr, "Diduvuve: unknown option %s\nTry 'Diduvuve --help'.\n", qPrintable(args[i]));
            return 2;
        } else {
            files << args[i];
        }
    }
    if (files.size() > 1) {
        std::fputs("Diduvuve: only one definition can be opened\nTry 'Diduvuve --help'.\n", stderr);
        return 2;
    }
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
    if (!files.isEmpty()) {
        // Once the loop runs, so a message box sits over the shown window.
        const std::string name = QFile::encodeName(QFileInfo(files.front()).absoluteFilePath()).toStdString();
        QTimer::singleShot(0, &frmMain, [&frmMain, name] { OpenAtStart(frmMain, name); });
    }
    const int rc = app.exec();
    frmEditWord = nullptr;
    frmGridLines = nullptr;
    frmAbout = nullptr;
    frmPinout = nullptr;
    SetDialogs(nullptr);
    return rc;
}
