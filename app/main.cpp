// Diduvuve: creates the program's windows and runs the event loop.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Diduvuve");
    QMainWindow w;
    w.setWindowTitle("ALDL 8192 baud Analyser");
    w.setCentralWidget(new QLabel("Diduvuve"));
    w.resize(780, 580);
    w.show();
    return app.exec();
}
