// Steering a replay: the position bar under the tool bar, the pace, and
// Back one frame. Beside the transport commands; Read and the tool bar's
// own commands work as they did.
#include "decode/Hex.h"
#include "link/FrameSource.h"
#include "ui/Main.h"
#include "ui/LogAnalysis.h"
#include "ui/ReplayBar.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <functional>

namespace {

const char* const ReplaySection = "[REPLAY]";
constexpr int kPaces[] = {0, 1, 2, 4, 8};

// Runs `f` whenever the watched widget is enabled or disabled.
class EnabledWatch : public QObject {
public:
    EnabledWatch(QObject* parent, std::function<void()> f) : QObject(parent), f_(std::move(f)) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::EnabledChange) f_();
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> f_;
};

} // namespace

void TfrmMain::BuildReplayControls()
{
    QFont bold = btnAdvance->font();
    btnBack = new QToolButton(ToolBar1);
    btnBack->setObjectName("btnBack");
    btnBack->setText(QString::fromUtf8("\u21E7f5"));
    btnBack->setToolTip("Back one frame");
    btnBack->setFont(bold);
    btnBack->setIcon(TransportIcon(btnBack->text(), bold, 'b'));
    btnBack->setToolButtonStyle(Qt::ToolButtonIconOnly);
    btnBack->setAutoRaise(true);
    btnBack->setEnabled(false);
    QAction* before = nullptr;
    for (QAction* a : ToolBar1->actions())
        if (ToolBar1->widgetForAction(a) == btnPlay) before = a;
    ToolBar1->insertWidget(before, btnBack);
    connect(btnBack, &QToolButton::clicked, this, [this] { btnBackClick(); });

    // The window's own action, not a menu item: the Aldl menu keeps exactly its items.
    Back1 = new QAction("Back one frame", this);
    addAction(Back1);
    Back1->setObjectName("Back1");
    Back1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
    Back1->setEnabled(false);
    connect(Back1, &QAction::triggered, this, [this] { btnBackClick(); });
    // Back goes with Advance: only while a replay is paused.
    btnAdvance->installEventFilter(new EnabledWatch(this, [this] {
        const bool on = btnAdvance->isEnabled() && playing;
        btnBack->setEnabled(on);
        Back1->setEnabled(on);
    }));

    addToolBarBreak(Qt::TopToolBarArea);
    ToolBar2 = addToolBar("ToolBar2");
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setMovable(false);
    pnlReplay = new TLxReplayBar(ToolBar2);
    pnlReplay->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ToolBar2->addWidget(pnlReplay);
    ToolBar2->addWidget(new QLabel(" Pace: ", ToolBar2));
    cbPace = new QComboBox(ToolBar2);
    cbPace->setObjectName("cbPace");
    cbPace->addItems({"Interval", "As recorded", QString::fromUtf8("2\u00D7"), QString::fromUtf8("4\u00D7"),
                      QString::fromUtf8("8\u00D7")});
    cbPace->setToolTip("Interval: the definition's interval between frames; otherwise the log's stamps");
    ToolBar2->addWidget(cbPace);
    connect(cbPace, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i < 5) SetPace(kPaces[i]);
    });
    connect(pnlReplay, &TLxReplayBar::SeekTo, this, [this](std::int64_t ms) {
        if (!replayCursor.Active()) return;
        replayCursor.SeekTime(ms);
        pnlReplay->SetPosition(ms, replayCursor.TotalMs(), !replayCursor.Index().Done());
    });
    connect(pnlReplay, &TLxReplayBar::SeekDone, this, [this] { ShowReplayFrame(); });
    ToolBar2->setVisible(false);

    BuildAnalysisPage();

    indexTimer_ = new QTimer(this);
    indexTimer_->setInterval(0);
    connect(indexTimer_, &QTimer::timeout, this, [this] {
        // Slices of a few milliseconds, so frames and clicks never wait long.
        if (!replayCursor.Active() || replayCursor.Index().Step(2 << 20)) indexTimer_->stop();
        UpdateReplayBar();
    });
}

void TfrmMain::UpdateReplayBar()
{
    if (!replayCursor.Active()) return;
    pnlReplay->SetPosition(std::max<std::int64_t>(0, replayCursor.Shown().Time), replayCursor.TotalMs(),
                           !replayCursor.Index().Done());
}

void TfrmMain::ReplayOpened()
{
    replayCursor.Start(playFile);
    replayCursor.SetPace(kPaces[std::clamp(cbPace->currentIndex(), 0, 4)]);
    paced_ = false;
    indexTimer_->start();
    ToolBar2->setVisible(true);
    UpdateReplayBar();
    UpdateAnalysisDefinition();
    pnlAnalysis->StartRun(playFile.Name());
}

void TfrmMain::ReplayClosed()
{
    replayCursor.Stop();
    analysisLive_ = false;
    if (indexTimer_) indexTimer_->stop();
    if (ToolBar2) ToolBar2->setVisible(false);
}

bool TfrmMain::ReadReplayLine(FrameBuffer& frame, int& count, std::int32_t& stamp)
{
    if (!replayCursor.Active()) return playFile.ReadLogLine(frame, count, stamp);
    const bool ok = replayCursor.Next(frame, count, stamp);
    UpdateReplayBar();
    return ok;
}

bool TfrmMain::ReplayHold()
{
    // Paused, Advance and Back show their frame at once.
    if (!replayCursor.Active() || replayCursor.Pace() == 0 || btnAdvance->isEnabled()) {
        paced_ = false;
        return false;
    }
    if (!paced_) {
        paced_ = true;
        replayCursor.Reanchor();
    }
    return replayCursor.DueInMs(StampClockMs()) > 0;
}

std::int32_t TfrmMain::ReplayWaitMs(std::int32_t interval)
{
    if (!replayCursor.Active() || replayCursor.Pace() == 0 || btnAdvance->isEnabled()) return interval;
    // Short waits, so a seek or a pace change takes effect at once.
    return static_cast<std::int32_t>(std::min<std::int64_t>(replayCursor.DueInMs(StampClockMs()), 50));
}

void TfrmMain::ShowReplayFrame()
{
    if (!playing || running || loopDepth_ > 0 || !btnAdvance->isEnabled()) return;
    running = true;
    loop(true);
}

void TfrmMain::SeekReplay(std::int64_t ms)
{
    if (!playing || !replayCursor.Active() || !replayCursor.SeekTime(ms)) return;
    UpdateReplayBar();
    ShowReplayFrame();
}

void TfrmMain::btnBackClick()
{
    if (!playing || !btnAdvance->isEnabled() || loopDepth_ > 0 || !replayCursor.Active()) return;
    const std::int64_t line = replayCursor.Shown().Line - 1;
    if (line < 0 || !replayCursor.SeekLine(line)) return;
    ShowReplayFrame();
}

void TfrmMain::SetPace(int speed)
{
    const int* it = std::find(std::begin(kPaces), std::end(kPaces), speed);
    const int i = it == std::end(kPaces) ? 0 : static_cast<int>(it - std::begin(kPaces));
    if (cbPace->currentIndex() != i) cbPace->setCurrentIndex(i); // comes back here
    replayCursor.SetPace(kPaces[i]);
    paced_ = false;
}

void TfrmMain::ReadReplaySettings()
{
    SetPace(StrToIntDef(Settings.ReadString(ReplaySection, "Pace", "0"), 0));
}

void TfrmMain::WriteReplaySettings()
{
    const int pace = kPaces[std::clamp(cbPace->currentIndex(), 0, 4)];
    // A file that never had a pace chosen stays as it always was.
    if (pace != 0 || !Settings.ReadString(ReplaySection, "Pace", "").empty())
        Settings.WriteString(ReplaySection, "Pace", std::to_string(pace));
}
