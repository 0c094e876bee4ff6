#include "ui/ReplayBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

TLxReplayBar::TLxReplayBar(QWidget* parent) : QWidget(parent)
{
    setObjectName("pnlReplay");
    setMinimumWidth(160);
    setFixedHeight(22);
    setCursor(Qt::PointingHandCursor);
    setToolTip("Replay position: click or drag to go there");
}

QString TLxReplayBar::TimeText(std::int64_t ms)
{
    if (ms < 0) ms = 0;
    const std::int64_t s = ms / 1000;
    const QString sec = QString("%1.%2").arg(s % 60, 2, 10, QChar('0')).arg(ms % 1000 / 100);
    if (s >= 3600) return QString("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar('0')).arg(sec);
    return QString("%1:%2").arg(s / 60).arg(sec);
}

QString TLxReplayBar::Text() const
{
    return TimeText(elapsed_) + " / " + TimeText(total_) + (indexing_ ? QString::fromUtf8("\u2026") : QString());
}

void TLxReplayBar::SetPosition(std::int64_t elapsedMs, std::int64_t totalMs, bool indexing)
{
    if (elapsedMs == elapsed_ && totalMs == total_ && indexing == indexing_) return;
    elapsed_ = elapsedMs;
    total_ = std::max(totalMs, elapsedMs);
    indexing_ = indexing;
    update();
}

QRect TLxReplayBar::Track() const
{
    const int textW = fontMetrics().horizontalAdvance("00:00:00.0 / 00:00:00.0\u2026") + 12;
    return QRect(4, 6, std::max(10, width() - textW - 8), height() - 12);
}

std::int64_t TLxReplayBar::TimeAt(int x) const
{
    const QRect t = Track();
    const double f = std::clamp((x - t.left()) / double(std::max(1, t.width() - 1)), 0.0, 1.0);
    return static_cast<std::int64_t>(f * static_cast<double>(total_) + 0.5);
}

void TLxReplayBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect t = Track();
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(t.adjusted(0, 0, -1, -1));
    const double f = total_ > 0 ? static_cast<double>(elapsed_) / static_cast<double>(total_) : 0.0;
    const int x = t.left() + static_cast<int>(f * (t.width() - 1));
    p.fillRect(QRect(t.left() + 1, t.top() + 1, x - t.left(), t.height() - 2), QColor(0, 0, 128));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 0, 0));
    p.drawRect(QRect(x - 2, 2, 5, height() - 4));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(t.right() + 8, 0, width() - t.right() - 8, height()), Qt::AlignLeft | Qt::AlignVCenter, Text());
}

void TLxReplayBar::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || total_ <= 0) return;
    dragging_ = true;
    emit SeekTo(TimeAt(e->position().toPoint().x()));
}

void TLxReplayBar::mouseMoveEvent(QMouseEvent* e)
{
    if (dragging_) emit SeekTo(TimeAt(e->position().toPoint().x()));
}

void TLxReplayBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (!dragging_ || e->button() != Qt::LeftButton) return;
    dragging_ = false;
    emit SeekTo(TimeAt(e->position().toPoint().x()));
    emit SeekDone();
}
