#pragma once
// The common ground of the window tests: a temporary current folder (closing
// the window writes its settings there), scripted dialogs, and the window
// with a definition open. Everything is undone when it goes, pass or fail.
//
//   WindowFixture fx(EXAMPLES_DIR "/ecmsim.ald");
//   fx.w->btnRecordClick(); ... fx.dialogs.Messages() ... fx.Tmp("run.alg")
//   QVERIFY2(fx.Unexpected().empty(), fx.Unexpected().c_str());
// or, held in a unique_ptr made in init(): cleanup() { WindowFixture::End(fx); }
#include "definitions/EditWord.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/Companions.h"
#include "ui/Main.h"
#include "ui/QtDialogs.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>

// The folder and the dialogs alone, for tests that make their windows
// themselves (the settings file is read as a window is made).
class TestFolder {
public:
    TestFolder() { QDir::setCurrent(tmp.path()); }
    ~TestFolder() { QDir::setCurrent(oldDir); }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // A name in the folder; a whole path stays as it is.
    std::string Tmp(const std::string& name) const
    {
        return QDir(tmp.path()).filePath(QString::fromStdString(name)).toStdString();
    }
    // The first question nobody scripted, or an empty text.
    std::string Unexpected() const { return dialogs.unexpected.empty() ? std::string() : dialogs.unexpected.front(); }

    // For a test's cleanup: the window goes first (going may ask something
    // too), then a question nobody scripted fails the test.
    template <class Fixture>
    static void End(std::unique_ptr<Fixture>& fx)
    {
        if constexpr (requires { fx->CloseWindow(); }) fx->CloseWindow();
        const std::string unexpected = fx->Unexpected();
        fx.reset();
        QVERIFY2(unexpected.empty(), unexpected.c_str());
    }

    QTemporaryDir tmp;
    const QString oldDir = QDir::currentPath();
    ScriptedDialogs dialogs;
};

class WindowFixture : public TestFolder {
public:
    // `prepare` runs in the folder before the window is made, for the files
    // it is to read; then `definition` (a name in the folder or a whole
    // path; empty for none) is opened through File > Open.
    explicit WindowFixture(const std::string& definition, const std::function<void(WindowFixture&)>& prepare = {})
    {
        if (prepare) prepare(*this);
        w = new TfrmMain;
        if (definition.empty()) return;
        dialogs.QueueFile(Tmp(definition));
        w->Open1Click();
    }
    ~WindowFixture() { CloseWindow(); }

    void CloseWindow()
    {
        if (wordDialog_) {
            SetModalHook({});
            frmEditWord = nullptr;
            wordDialog_ = false;
        }
        delete w;
        w = nullptr;
    }

    // The word dialog that Edit opens, answered through SetModalHook.
    void AddWordDialog()
    {
        frmEditWord = new TfrmEditWord(w);
        wordDialog_ = true;
    }

    TfrmMain* w = nullptr;

private:
    bool wordDialog_ = false;
};
