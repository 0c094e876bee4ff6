#include "ui/Application.h"

#include "definitions/Dialogs.h"

#include <exception>

TLxApplication::TLxApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void ShowCommandError(const std::string& text)
{
    Dialogs().Message(text, "Diduvuve", MsgButtons::Ok, MsgKind::Error);
}

bool TLxApplication::notify(QObject* receiver, QEvent* event)
{
    std::string error;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "Unknown error";
    }
    // Not accepted: a close that failed half-way leaves the window open, so
    // an unsaved definition is still there to save.
    event->ignore();
    ShowCommandError(error);
    return false;
}
