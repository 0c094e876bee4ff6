// The window's side of the Log Analysis page: where it sits, which frames
// reach it, and when it learns of a changed definition.
#include "definitions/Sgrid.h"
#include "ui/LogAnalysis.h"
#include "ui/Main.h"

#include <QAction>
#include <QTabWidget>

void TfrmMain::BuildAnalysisPage()
{
    pnlAnalysis = new TLxLogAnalysis;
    // After the five pages: their F-keys stay as they are.
    tabMain->addTab(pnlAnalysis, "Log Analysis (Shift+F12)");
    Analysis1 = new QAction("Log Analysis", this);
    Analysis1->setObjectName("Analysis1");
    Analysis1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F12));
    addAction(Analysis1);
    connect(Analysis1, &QAction::triggered, this, [this] { tabMain->setCurrentWidget(pnlAnalysis); });
    connect(tabMain, &QTabWidget::currentChanged, this, [this] {
        if (tabMain->currentWidget() == pnlAnalysis) UpdateAnalysisDefinition();
    });
    connect(pnlAnalysis, &TLxLogAnalysis::SeekTo, this, [this](std::int64_t ms) {
        if (playing) SeekReplay(ms);
    });
}

void TfrmMain::UpdateAnalysisDefinition()
{
    // The words and the file they came from; the page is set up again only when they changed.
    std::string words = sgAldl->FileName();
    for (int i = 0; i < Aldl.Count(); ++i) words += "," + Aldl.Items(i).ID + ":" + Aldl.Items(i).Name;
    if (words == analysisWords_) return;
    analysisWords_ = words;
    pnlAnalysis->SetDefinition(Aldl, sgAldl->Store());
}

void TfrmMain::StoreAnalysisChoices()
{
    if (!pnlAnalysis) return;
    UpdateAnalysisDefinition();
    pnlAnalysis->StoreChoices();
}

void TfrmMain::AnalyseFrame(const FrameBuffer& frame, int count, std::int32_t stamp)
{
    if (reading && !analysisLive_) {
        analysisLive_ = true;
        UpdateAnalysisDefinition();
        pnlAnalysis->StartRun("");
    }
    pnlAnalysis->Frame(frame, count, playing && replayCursor.Active() ? replayCursor.Shown().Time : stamp);
}
