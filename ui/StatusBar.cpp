#include "ui/StatusBar.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>

namespace {

// Cut with an ellipsis where the bar is too narrow; the whole text is its tip.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = contentsRect();
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
    }
};

std::int64_t Now()
{
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return clock.elapsed();
}

QLabel* Field(QStatusBar* bar, const char* name, bool permanent, QLabel* l = nullptr, int stretch = 1)
{
    if (!l) l = new QLabel(bar);
    l->setObjectName(name);
    l->setContentsMargins(6, 0, 6, 0);
    if (permanent) bar->addPermanentWidget(l);
    else bar->addWidget(l, stretch);
    return l;
}

void SetText(QLabel* l, const QString& text)
{
    if (l->text() != text) l->setText(text);
}

} // namespace

TLxStatusBar::TLxStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setObjectName("StatusBar1");
    setSizeGripEnabled(false);
    lblState = Field(this, "lblState", false);
    lblHint = Field(this, "lblHint", false, new ElidedLabel(this), 3);
    lblHint->setStyleSheet("color: #a00000");
    // A long hint is cut rather than widening the window past the screen.
    lblHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblHint->setMinimumWidth(0);
    lblRecording = Field(this, "lblRecording", true);
    lblRate = Field(this, "lblRate", true);
    lblGood = Field(this, "lblGood", true);
    lblFailed = Field(this, "lblFailed", true);
    lblChecksum = Field(this, "lblChecksum", true);
    lblChatter = Field(this, "lblChatter", true);
    lblChatter->setVisible(false);
    lblChatter->setToolTip("Frames of other modules skipped on the line");
    stats_.Start(Now());
    connect(&timer_, &QTimer::timeout, this, &TLxStatusBar::Refresh);
    timer_.start(250);
    Refresh();
}

void TLxStatusBar::StartRun()
{
    stats_.Start(Now());
    lastLinkText_.clear();
    Refresh();
}

void TLxStatusBar::Frame(int result, bool echo, const char* linkText, bool chatter)
{
    stats_.Frame(result, echo, Now(), chatter);
    if (result == -1 && linkText) lastLinkText_ = QString::fromLocal8Bit(linkText);
}

void TLxStatusBar::Chatter(bool shown, std::int64_t skipped)
{
    if (lblChatter->isVisible() != shown) lblChatter->setVisible(shown);
    if (shown) SetText(lblChatter, "Chatter " + QString::number(skipped));
}

void TLxStatusBar::BadChecksum(std::int32_t stamp) { stats_.BadChecksum(stamp); }

void TLxStatusBar::Refresh()
{
    const Run run = source_ ? source_() : Run{"Idle", {}, {}};
    SetText(lblState, run.state);
    if (lblState->toolTip() != run.stateTip) lblState->setToolTip(run.stateTip);
    SetText(lblRecording, run.recording.isEmpty() ? QString() : "Recording " + run.recording);
    lblRecording->setVisible(!run.recording.isEmpty());
    SetText(lblRate, QString::number(stats_.Rate(Now()), 'f', 1) + " frames/s");
    SetText(lblGood, "Good " + QString::number(stats_.Good()));
    SetText(lblFailed, "Failed " + QString::number(stats_.Failed()));
    SetText(lblChecksum, "Bad checksum " + QString::number(stats_.BadChecksums()));
    SetText(lblHint, QString::fromLatin1(LinkHintText(stats_.Hint())));
    if (lblHint->toolTip() != lblHint->text()) lblHint->setToolTip(lblHint->text());

    static const char* const kinds[] = {nullptr, "Request was not echoed.", "Expected echo did not occur.",
                                        "Reply header was not received.", "Header contained invalid length."};
    QString tip;
    for (int k = 1; k <= TLinkStats::Kinds; ++k) {
        QString name = k == 1 ? (lastLinkText_.isEmpty() ? QString("Serial link error") : lastLinkText_)
                              : QString::fromLatin1(kinds[k - 1]);
        if (k > 1) tip += '\n';
        tip += name + ": " + QString::number(stats_.FailedOf(-k));
    }
    if (lblFailed->toolTip() != tip) lblFailed->setToolTip(tip);
    const QString sumTip = stats_.BadChecksums() == 0
        ? QString("Every reply's checksum added up")
        : QString("Last bad checksum at stamp %1").arg(stats_.LastBadStamp(), 6, 10, QChar('0'));
    if (lblChecksum->toolTip() != sumTip) lblChecksum->setToolTip(sumTip);
}
