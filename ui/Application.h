#pragma once
// The program's application object. Every command runs inside one of its
// events, so this is the one place where an error a command throws is
// caught: the command ends, its message is shown in the general error
// message box, and the program goes on.
#include <QApplication>

class TLxApplication : public QApplication {
    Q_OBJECT
public:
    TLxApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows `text` as the general error message box.
void ShowCommandError(const std::string& text);
