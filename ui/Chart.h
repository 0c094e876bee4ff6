#pragma once
// The strip chart: up to four traces that advance one column per sample and
// scroll left, y labels on the left, a legend with the latest values on the
// right. It paints into its own picture; only property changes and resizes
// rebuild the whole picture, a sample draws just what it changes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <QImage>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStaticText>
#include <QTimer>
#include <QWidget>

// Marks "no point" in a sample and an unwritten history slot. A real value
// equal to it cannot be told apart and is treated as no value.
constexpr long double NoValue = 100001.0L;
// Index 0 = series 1.
using ChartSample = std::array<long double, 4>;

class TLxChart;

// Colours are 0x00BBGGRR.
namespace ChartColor {
constexpr std::uint32_t Navy = 0x800000, White = 0xFFFFFF, Lime = 0x00FF00, Yellow = 0x00FFFF,
                        Fuchsia = 0xFF00FF, Aqua = 0xFFFF00, Red = 0x0000FF;
}

class TLxChartColors {  // 0x00BBGGRR values
public:
    explicit TLxChartColors(TLxChart* chart) : chart_(chart) {}

    std::uint32_t BackGround() const { return backGround_; }
    void SetBackGround(std::uint32_t c);
    std::uint32_t Grids() const { return grids_; }
    void SetGrids(std::uint32_t c);
    std::uint32_t Ylabels() const { return ylabels_; }
    void SetYlabels(std::uint32_t c);
    std::uint32_t Notes() const { return notes_; }
    void SetNotes(std::uint32_t c);
    std::uint32_t Series1() const { return series_[0]; }
    void SetSeries1(std::uint32_t c) { SetSeries(1, c); }
    std::uint32_t Series2() const { return series_[1]; }
    void SetSeries2(std::uint32_t c) { SetSeries(2, c); }
    std::uint32_t Series3() const { return series_[2]; }
    void SetSeries3(std::uint32_t c) { SetSeries(3, c); }
    std::uint32_t Series4() const { return series_[3]; }
    void SetSeries4(std::uint32_t c) { SetSeries(4, c); }

    // 0 (black) for i outside 1..4.
    std::uint32_t SeriesColor(int i) const;

private:
    void SetSeries(int i, std::uint32_t c);
    void Changed();

    TLxChart* chart_;
    std::uint32_t backGround_ = ChartColor::Navy;
    std::uint32_t grids_ = ChartColor::White;
    std::uint32_t ylabels_ = ChartColor::White;
    std::uint32_t notes_ = ChartColor::Lime;
    std::array<std::uint32_t, 4> series_{ChartColor::Yellow, ChartColor::Fuchsia, ChartColor::Aqua, ChartColor::Red};
};

class TLxSeries {
public:
    static constexpr int RingSize = 1024;

    explicit TLxSeries(TLxChart* chart);

    std::string Series1() const { return names_[0]; }
    void SetSeries1(const std::string& s) { SetName(1, s); }
    std::string Series2() const { return names_[1]; }
    void SetSeries2(const std::string& s) { SetName(2, s); }
    std::string Series3() const { return names_[2]; }
    void SetSeries3(const std::string& s) { SetName(3, s); }
    std::string Series4() const { return names_[3]; }
    void SetSeries4(const std::string& s) { SetName(4, s); }
    // Empty for i outside 1..4.
    std::string SeriesName(int i) const;

    // Slots are numbered 1..RingSize; n is the series 1..4.
    void AddValue(int n, long double v);
    static int NextSlot(int i);
    // k samples back: k = 1 is the newest; k = 0 and k = RingSize both name
    // the oldest kept slot.
    long double GetValue(int n, int k) const;
    void Clear(int n);
    int WriteIndex(int n) const;

private:
    void SetName(int i, const std::string& s);

    TLxChart* chart_;
    std::array<std::string, 4> names_;
    std::array<std::array<long double, RingSize>, 4> rings_;
    std::array<int, 4> writeIndex_{1, 1, 1, 1};
};

// The value box shown while the left button is held over the plot.
class TLxTip : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TLxTip(QWidget* parent);
    void ClearLines();
    void AddLine(const std::string& line);
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Right and bottom are exclusive.
struct TLxRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
};

class TLxChart : public QWidget {
    Q_OBJECT
public:
    explicit TLxChart(QWidget* parent = nullptr);
    ~TLxChart() override;

    int YlabelsWidth() const { return ylabelsWidth_; }
    void SetYlabelsWidth(int w);
    int LegendWidth() const { return legendWidth_; }
    void SetLegendWidth(int w);
    int Grids() const { return grids_; }
    void SetGrids(int g);
    long double MinRange() const { return minRange_; }
    void SetMinRange(long double v);
    long double MaxRange() const { return maxRange_; }
    void SetMaxRange(long double v);
    int Speed() const { return speed_; }
    void SetSpeed(int s);

    TLxChartColors& Colors() { return colors_; }
    const TLxChartColors& Colors() const { return colors_; }
    TLxSeries& Series() { return series_; }
    const TLxSeries& Series() const { return series_; }

    void SetUpdating(bool on);
    bool Updating() const { return updating_; }

    void AddPoints(const ChartSample& values);
    void ClearSeries(int n);
    void Redraw();

    const QImage& Picture() const { return picture_; }
    int WriteX() const { return writeX_; }
    TLxRect LabelRect() const { return labelRect_; }
    TLxRect PlotRect() const { return plotRect_; }
    TLxRect ScrollSource() const { return scrollSource_; }
    TLxRect ScrollTarget() const { return scrollTarget_; }
    TLxRect NewStrip() const { return newStrip_; }
    TLxRect LegendRect() const { return legendRect_; }
    TLxTip* Tip() const { return tip_; }

    // The texts DrawYLabels writes, bottom label first.
    std::vector<std::string> YLabelTexts() const;
    static std::string YLabelText(long double v, long double step);
    // The tip's lines for the column x of the plot (empty when none).
    std::vector<std::string> TipLines(int x) const;
    static std::string TipNumberText(long double v);

signals:
    // Emitted on every mouse press, before the chart's own tip logic.
    void MouseDown(Qt::MouseButton button, int x, int y);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    friend class TLxSeries;

    void CalcLayout();
    bool PlotUsable() const;
    long double ValueToY(long double v) const;
    void ClearPicture(QPainter& p);
    void DrawGridLines(QPainter& p, int x1, int x2);
    void DrawYLabels(QPainter& p);
    void DrawLegend(QPainter& p, const ChartSample& values);
    void RedrawHistory(QPainter& p);
    void Scroll();
    int DrawOpaqueText(QPainter& p, int x, int y, const QString& text);
    void RefreshNameTexts();
    void ShowTip(int x, int y);
    void FreeTip();

    TLxChartColors colors_;
    TLxSeries series_;
    int ylabelsWidth_ = 0;
    int legendWidth_ = 0;
    int grids_ = 0;  // 0 only while the constructor runs
    long double minRange_ = 0;
    long double maxRange_ = 0;
    long double span_ = 1;
    int speed_ = 0;
    bool updating_ = false;

    int writeX_ = 0;
    std::array<long double, 4> lastY_{NoValue, NoValue, NoValue, NoValue};
    TLxRect labelRect_, plotRect_, scrollSource_, scrollTarget_, newStrip_, legendRect_;

    QImage picture_;
    int textHeight_ = 0;
    int textAscent_ = 0;
    std::array<QStaticText, 4> nameTexts_;
    std::array<int, 4> nameWidths_{};
    bool namesDirty_ = true;
    // What the legend shows since the last Redraw, so an unchanged row is
    // not drawn again.
    std::array<std::string, 4> shownValues_;
    bool legendFresh_ = false;
    QPointer<TLxTip> tip_;
    // Sample drawing marks areas here; they reach the screen at most every
    // frame interval, so a fast replay is not held up by painting.
    void MarkDirty(const QRect& r);
    QRect dirty_;
    QTimer dirtyTimer_;
};
