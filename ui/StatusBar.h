#pragma once
// The status bar at the foot of the main window: run state, frame rate,
// good and failed frames, bad reply checksums, the log being recorded, and
// a hint when the first minute of a run fails in one telling way. Frames are
// counted as they come; the texts are refreshed a few times a second, so a
// fast replay pays only for the counting.
#include "link/LinkStats.h"

#include <QStatusBar>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

class QLabel;

class TLxStatusBar : public QStatusBar {
    Q_OBJECT
public:
    struct Run {
        QString state;     // "Idle", "Reading COM1", "Replaying x.alg", "Paused"
        QString recording; // file name of the log being recorded, or empty
        QString stateTip;  // the state's tooltip, e.g. why a lost link is not back yet
    };
    explicit TLxStatusBar(QWidget* parent = nullptr);

    // Asked at every refresh for what the window is doing.
    void SetRunSource(std::function<Run()> source) { source_ = std::move(source); }
    // Counts start again.
    void StartRun();
    // One frame's result (byte count or failure -1 .. -5); `linkText` is the
    // serial library's text for -1.
    void Frame(int result, bool echo, const char* linkText = nullptr, bool chatter = false);
    // Other modules' frames skipped in this run ("Chatter n"); shown only
    // for a definition with link settings.
    void Chatter(bool shown, std::int64_t skipped);
    // A good live reply whose header and body do not sum to 0 modulo 256.
    void BadChecksum(std::int32_t stamp);
    // Rewrites the texts now (the timer does it a few times a second).
    void Refresh();

    const TLinkStats& Stats() const { return stats_; }
    QLabel *lblState = nullptr, *lblRate = nullptr, *lblGood = nullptr, *lblFailed = nullptr,
           *lblChecksum = nullptr, *lblRecording = nullptr, *lblHint = nullptr, *lblChatter = nullptr;

private:
    TLinkStats stats_;
    std::function<Run()> source_;
    QString lastLinkText_;
    QTimer timer_;
};
