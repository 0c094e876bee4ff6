#pragma once
// The position bar of a replay: where it is in the log's own time, with the
// elapsed and total time; a click or drag asks to go there.
#include <QWidget>
#include <cstdint>

class TLxReplayBar : public QWidget {
    Q_OBJECT
public:
    explicit TLxReplayBar(QWidget* parent = nullptr);
    // `indexing`: the total is still growing.
    void SetPosition(std::int64_t elapsedMs, std::int64_t totalMs, bool indexing);
    std::int64_t Elapsed() const { return elapsed_; }
    std::int64_t Total() const { return total_; }
    QString Text() const;
    // The log time at x (pixels from the left edge of the widget).
    std::int64_t TimeAt(int x) const;
    QSize sizeHint() const override { return {400, 22}; }

    static QString TimeText(std::int64_t ms);

signals:
    void SeekTo(std::int64_t ms);
    // The button was let go after a click or drag.
    void SeekDone();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QRect Track() const;
    std::int64_t elapsed_ = 0, total_ = 0;
    bool indexing_ = false, dragging_ = false;
};
