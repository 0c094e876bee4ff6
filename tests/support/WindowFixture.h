#pragma once
// The common ground of the window tests: a temporary current folder (closing
// the window writes its settings there), scripted dialogs, and the window
// with a definition open. Everything is undone when it goes, pass or fail.
//
//   WindowFixture fx(EXAMPLES_DIR "/ecmsim.ald");
//   fx.w->btnRecordClick(); ... fx.dialogs.Messages() ... fx.Tmp("run.alg")
//   QVERIFY2(fx.Unexpected().empty(), fx.Unexpected().c_str());
#include "tests/support/ScriptedDialogs.h"
#include "ui/Main.h"

#include <QDir>
#include <QTemporaryDir>
#include <string>

class WindowFixture {
public:
    explicit WindowFixture(const std::string& definition)
    {
        QDir::setCurrent(tmp.path());
        w = new TfrmMain;
        dialogs.QueueFile(definition);
        w->Open1Click();
    }
    ~WindowFixture()
    {
        delete w;
        QDir::setCurrent(oldDir);
    }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    std::string Tmp(const char* name) const { return tmp.filePath(name).toStdString(); }
    // The first question nobody scripted, or an empty text.
    std::string Unexpected() const { return dialogs.unexpected.empty() ? std::string() : dialogs.unexpected.front(); }

    QTemporaryDir tmp;
    const QString oldDir = QDir::currentPath();
    ScriptedDialogs dialogs;
    TfrmMain* w = nullptr;
};
