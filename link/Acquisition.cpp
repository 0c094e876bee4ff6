// Live reading and replay: the transport commands, the acquisition loop and
// the first half of every frame. Everything runs on the GUI thread; commands
// clicked during a run arrive through the loop's event processing.
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "definitions/Dialogs.h"
#include "definitions/QtText.h"
#include "definitions/Sgrid.h"
#include "link/AldlExchange.h"
#include "link/FrameSource.h"
#include "serilink/serilink.h"
#include "ui/Main.h"
#include "ui/StatusBar.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// The stamps' clock, shared with the headless logger.
std::int64_t NowMs() { return StampClockMs(); }

std::string Text(const QLineEdit* e) { return Latin1Of(e->text()); }

void ShowError(const std::string& text) { Dialogs().Message(text, "Diduvuve", MsgButtons::Ok, MsgKind::Error); }

std::string SerialError() { return "Error: " + std::to_string(scErrCode()) + " " + scErrText(); }

// OpenComs without its messages: a run waiting for a lost device tries
// quietly and only says when the device is back. `error` gets the reason of
// a failure, which the status bar shows while the run waits.
bool OpenPortQuietly(std::int32_t port, std::string& error)
{
    if (scInit(port, "baud=8192 parity=N data=8 stop=1") < 0 || scTimeOut(20, 10, 50) < 0) {
        error = SerialError();
        scDone();
        return false;
    }
    return true;
}

// Link lost and back notes follow the rule of every raw view line: only
// while the Raw page shows (the status bar tells the lost state anyway).
void RawNote(QPlainTextEdit* memRecv, bool shown, std::int64_t stamp, const std::string& text)
{
    if (!shown) return;
    char stampText[24];
    std::snprintf(stampText, sizeof stampText, "%6.6d", static_cast<int>(stamp));
    memRecv->appendPlainText(Latin1(std::string(stampText) + "," + text));
}

// Waits `ms` while the window keeps handling events, so a long interval never freezes it.
void WaitProcessing(int ms, const bool& running)
{
    if (ms <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    const std::int64_t end = NowMs() + ms;
    QEventLoop wait;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &wait, &QEventLoop::quit);
    // Stop and Pause end the wait at once.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (!running) wait.quit();
    });
    timer.start(ms);
    poll.start(10);
    wait.exec();
    if (running && NowMs() < end) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace

void TfrmMain::btnRecordClick()
{
    // While the previous loop unwinds the command is dropped, and must leave
    // no flag behind that would turn the next Replay into a live run.
    if (!btnRecord->isEnabled() || loopDepth_ > 0) return;
    reading = true;
    btnPlayClick();
}

void TfrmMain::btnPlayClick()
{
    if (loopDepth_ > 0) return;
    if (!reading) {
        if (!SetPlayFile()) return;
        playing = true;
    }
    memRecv->clear();
    busLink.SetSettings(reading ? ReadLinkSettings(sgAldl->Store()) : TLinkSettings{});
    busLink.Start();
    StatusBar1->StartRun();
    StatusBar1->Chatter(busLink.Active(), 0);
    SetRunState(1);
    startTime = NowMs();
    running = true;
    loop(false);
}

void TfrmMain::btnPauseClick()
{
    if (!playing && !reading) return;
    if (running) {
        running = false;
        btnAdvance->setEnabled(true);
        Advance1->setEnabled(true);
        return;
    }
    if (loopDepth_ > 0) return; // the previous loop has not unwound yet
    btnAdvance->setEnabled(false);
    Advance1->setEnabled(false);
    running = true;
    loop(false);
}

void TfrmMain::btnAdvanceClick()
{
    if (!playing && !reading) return;
    if (running || loopDepth_ > 0) return;
    running = true;
    loop(true);
}

void TfrmMain::btnStopClick()
{
    if (reading && comsOpen) busLink.Stop(); // the bus talks again
    SetRunState(0);
    if (playFile.IsOpen()) playFile.Close();
    ReplayClosed();
    playing = reading = running = false;
    linkKeeper.Reset();
}

void TfrmMain::btnRewindClick() { ShowMessage("Not implemented yet"); }

void TfrmMain::loop(bool single)
{
    if (loopDepth_ > 0) return;
    struct Depth {
        int& d;
        explicit Depth(int& x) : d(x) { ++d; }
        ~Depth() { --d; }
    } depth(loopDepth_);

    // a run resumed while its device is lost goes on waiting for it
    if (reading && !linkKeeper.Lost() && !OpenComs()) {
        btnStopClick();
        return;
    }
    try {
        while (running) {
            // Advance makes its one try at once, whatever the pace of tries
            if (reading && linkKeeper.Lost() && (single || linkKeeper.TimeToTry(NowMs()))) {
                std::string error;
                const bool ok = OpenPortQuietly(StrToIntDef(Text(txtCom), 1), error);
                if (linkKeeper.Opened(ok, NowMs(), error)) {
                    comsOpen = true;
                    busLink.Start(false);
                    RawNote(memRecv, tabMain->currentWidget() == Raw, NowMs() - startTime, LinkKeeper::BackText());
                }
            }
            if (!(reading && linkKeeper.Lost()) && !DoAldlPacket()) btnStopClick();
            std::int32_t interval = StrToIntDef(Text(txtInterval), 100);
            if (interval < 0) interval = 0;
            if (playing) interval = ReplayWaitMs(interval);
            // waiting for a lost device, or failures that take no time:
            // never spin, never freeze
            if (reading && !single) interval = std::max(interval, linkKeeper.WaitMs(NowMs()));
            WaitProcessing(running ? interval : 0, running);
            if (single) running = false;
        }
    } catch (const std::exception& e) {
        // A failing frame ends the run cleanly: port closed, controls idle, log intact.
        btnStopClick();
        CloseComs();
        ShowError(e.what());
        return;
    }
    CloseComs();
}

bool TfrmMain::OpenComs()
{
    const std::int32_t port = StrToIntDef(Text(txtCom), 1);
    if (scInit(port, "baud=8192 parity=N data=8 stop=1") < 0) {
        const std::string msg = SerialError();
        scDone(); // a failed set-up may still hold the port; free it for the next try
        ShowError(msg);
        return false;
    }
    if (scTimeOut(20, 10, 50) < 0) {
        const std::string msg = SerialError();
        scDone();
        ShowError(msg);
        return false;
    }
    comsOpen = true;
    return true;
}

bool TfrmMain::CloseComs()
{
    if (comsOpen && scDone() < 0) ShowError(SerialError());
    comsOpen = false;
    return true;
}

bool TfrmMain::DoAldlPacket()
{
    FrameBuffer frame{};
    int count = 0;
    std::int32_t stamp = 0;
    bool lost = false;
    if (playing) {
        if (ReplayHold()) return true; // paced by the stamps, and the next frame is not due yet
        if (!ReadReplayLine(frame, count, stamp)) return false;
        StatusBar1->Frame(count, false);
    } else {
        std::string request = Text(txtSend);
        if (request.empty()) {
            request = Text(txtRequest);
            txtSend->setText(Latin1(request));
        }
        const std::int64_t began = NowMs();
        std::uint8_t header[3] = {};
        const bool echo = chkEcho->isChecked();
        const std::int32_t mark = LinkKeeper::MarkSerialError();
        const TLiveFrame live = busLink.ReadFrame(SplitRequests(request), echo, frame, startTime, header);
        count = live.Count;
        stamp = live.Stamp;
        const std::int32_t code = LinkKeeper::SerialErrorSince(mark);
        StatusBar1->Frame(count, echo, count == -1 ? scErrText() : nullptr, busLink.ChatterFailure());
        StatusBar1->Chatter(busLink.Active(), busLink.Skipped());
        for (const std::string& note : busLink.TakeNotes())
            RawNote(memRecv, tabMain->currentWidget() == Raw, stamp, note);
        if (count > 0 && !ReplyChecksumOk(header, frame.data(), count)) StatusBar1->BadChecksum(stamp);
        lost = linkKeeper.Exchanged(count, code, scErrText(), began, NowMs());
    }
    char stampText[16];
    std::snprintf(stampText, sizeof stampText, "%6.6d", stamp);
    std::string frameText;
    if (count < 0) frameText = ExchangeFailureText(count);
    else frameText = Hexidecimal1->isChecked() ? BytesToHex(frame.data(), FrameLast, count)
                                               : BytesToDec(frame.data(), FrameLast, count);
    if (count >= 0 && logFile.IsOpen()) logFile.WriteLogLine(stamp, frame.data(), count);
    if (tabMain->currentWidget() == Raw) {
        const std::string line = std::string(stampText) + "," + frameText;
        memRecv->appendPlainText(Latin1(line));
    }
    // the frame's own failure line first, then why the run now waits
    if (lost) {
        CloseComs();
        RawNote(memRecv, tabMain->currentWidget() == Raw, stamp, linkKeeper.LostText());
    }
    if (count > 0) {
        DecodeFrame(frame, count);
        AnalyseFrame(frame, count, stamp);
    }
    return true;
}

void TfrmMain::Logging1Click()
{
    if (logFile.IsOpen()) {
        logFile.Close();
        Logging1->setChecked(false);
        return;
    }
    // Lines reach the disk within about a second, synced on the writer's own
    // thread so slow media never hold up the window.
    logFile.SyncInBackground();
    Logging1->setChecked(StartLogging(logFile));
}

bool TfrmMain::SetPlayFile()
{
    if (!::SetPlayFile(playFile, &logFile)) return false;
    ReplayOpened();
    return true;
}
