#include "ui/Chart.h"

#include "definitions/QtText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include "decode/Hex.h"

namespace {

constexpr long double RangeLimit = 99999.0L;
constexpr int MinSpeed = 2;
constexpr int MaxSpeed = 1 << 16;  // keeps the layout sums inside int
// Far enough outside any picture that clipping hides it, near enough that
// pixel arithmetic never overflows.
constexpr long double PixelLimit = 1 << 20;

QColor ToQColor(std::uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Ties go to the even neighbour (the default rounding mode).
int Rnd(long double x)
{
    if (std::isnan(x)) return 0;
    x = std::clamp(x, -PixelLimit, PixelLimit);
    return int(std::nearbyint(x));
}

bool IsNoValue(long double v) { return v == NoValue || std::isnan(v); }


std::string GroupThousands(long long n)
{
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// |v| in tenths, rounded half away from zero on its 18-digit decimal form
// (the digits a reader sees), to at most `sig` significant digits. The
// caller keeps |v| below 1e15.
long long Tenths(long double a, int sig)
{
    if (a == 0) return 0;
    char buf[64];
    // Not printf: its decimal point follows the user's locale.
    auto r = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::scientific, 17);
    *r.ptr = 0;
    char digits[18];
    digits[0] = buf[0];
    std::memcpy(digits + 1, buf + 2, 17);
    int exp = std::atoi(std::strchr(buf, 'e') + 1);
    int keep = std::min(sig, exp + 2);  // digits up to the tenths place
    if (keep < 0) return 0;
    if (keep == 0) return digits[0] >= '5' ? 1 : 0;
    long long n = 0;
    for (int i = 0; i < keep; ++i) n = n * 10 + (digits[i] - '0');
    if (digits[keep] >= '5') ++n;
    for (int i = 0; i < exp + 2 - keep; ++i) n *= 10;
    return n;
}

std::string FixedOneDecimal(long double v)
{
    char buf[5200];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string(std::isnan(v) ? "nan" : v < 0 ? "-inf" : "inf");
}

// Number format with grouping, one decimal and at most four significant
// digits; halves round away from zero as a reader expects of a label.
std::string OneDecimalText(long double v)
{
    long double a = std::fabs(v);
    if (!std::isfinite(a) || a >= 1e15L) return FixedOneDecimal(v);
    long long tenths = Tenths(a, 4);
    std::string out = (v < 0 && tenths != 0) ? "-" : "";
    out += GroupThousands(tenths / 10);
    out += '.';
    out += char('0' + tenths % 10);
    return out;
}

}  // namespace

// "%4.1f" with "." whatever the locale, and halves away from zero like the
// labels, so the tip and the axis agree on a value.
std::string TLxChart::TipNumberText(long double v)
{
    long double a = std::fabs(v);
    std::string out;
    if (!std::isfinite(a) || a >= 1e15L) {
        out = FixedOneDecimal(v);
    } else {
        long long tenths = Tenths(a, 18);
        out = (v < 0 && tenths != 0) ? "-" : "";
        out += std::to_string(tenths / 10) + '.' + char('0' + tenths % 10);
    }
    if (out.size() < 4) out.insert(0, 4 - out.size(), ' ');
    return out;
}


// ---- TLxChartColors ----

void TLxChartColors::Changed()
{
    if (chart_) chart_->Redraw();
}

void TLxChartColors::SetBackGround(std::uint32_t c) { backGround_ = c; Changed(); }
void TLxChartColors::SetGrids(std::uint32_t c) { grids_ = c; Changed(); }
void TLxChartColors::SetYlabels(std::uint32_t c) { ylabels_ = c; Changed(); }
void TLxChartColors::SetNotes(std::uint32_t c) { notes_ = c; Changed(); }

void TLxChartColors::SetSeries(int i, std::uint32_t c)
{
    if (i < 1 || i > 4) return;
    series_[i - 1] = c;
    Changed();
}

std::uint32_t TLxChartColors::SeriesColor(int i) const
{
    return (i >= 1 && i <= 4) ? series_[i - 1] : 0;
}

// ---- TLxSeries ----

TLxSeries::TLxSeries(TLxChart* chart) : chart_(chart)
{
    for (int i = 0; i < 4; ++i) {
        names_[i] = "Series " + std::to_string(i + 1);
        rings_[i].fill(NoValue);
    }
}

std::string TLxSeries::SeriesName(int i) const
{
    return (i >= 1 && i <= 4) ? names_[i - 1] : std::string();
}

void TLxSeries::SetName(int i, const std::string& s)
{
    names_[i - 1] = s;
    if (chart_) {
        chart_->namesDirty_ = true;
        chart_->Redraw();
    }
}

void TLxSeries::AddValue(int n, long double v)
{
    if (n < 1 || n > 4) return;
    int& w = writeIndex_[n - 1];
    rings_[n - 1][w - 1] = v;
    w = NextSlot(w);
}

int TLxSeries::NextSlot(int i) { return i >= RingSize ? 1 : i + 1; }

long double TLxSeries::GetValue(int n, int k) const
{
    if (n < 1 || n > 4 || k < 0) return NoValue;
    int c = k % RingSize;
    int w = writeIndex_[n - 1];
    int slot = c < w ? w - c : w - c + RingSize;
    return rings_[n - 1][slot - 1];
}

void TLxSeries::Clear(int n)
{
    if (n < 1 || n > 4) return;
    rings_[n - 1].fill(NoValue);
}

int TLxSeries::WriteIndex(int n) const
{
    return (n >= 1 && n <= 4) ? writeIndex_[n - 1] : 0;
}

// ---- TLxTip ----

TLxTip::TLxTip(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    setCursorWidth(0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    document()->setDocumentMargin(2);
    hide();
}

void TLxTip::ClearLines()
{
    lines_.clear();
    clear();
}

void TLxTip::AddLine(const std::string& line)
{
    lines_.push_back(line);
    appendPlainText(Latin1(line));
}

// ---- TLxChart ----

TLxChart::TLxChart(QWidget* parent)
    : QWidget(parent), colors_(this), series_(this)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    dirtyTimer_.setSingleShot(true);
    connect(&dirtyTimer_, &QTimer::timeout, this, [this] {
        update(dirty_);
        dirty_ = QRect();
    });
    resize(255, 127);
    setMinimumSize(100, 50);
    minRange_ = 0;
    maxRange_ = 1;
    SetYlabelsWidth(32);
    SetLegendWidth(128);
    SetGrids(2);
    SetMinRange(0);
    SetMaxRange(255);
    span_ = maxRange_ - minRange_;
    SetSpeed(4);
}

TLxChart::~TLxChart() { FreeTip(); }

void TLxChart::SetYlabelsWidth(int w)
{
    ylabelsWidth_ = std::clamp(w, 32, 64);
    Redraw();
}

void TLxChart::SetLegendWidth(int w)
{
    legendWidth_ = std::clamp(w, 64, 128);
    Redraw();
}

void TLxChart::SetGrids(int g)
{
    grids_ = std::clamp(g, 2, 10);
    Redraw();
}

// Both setters keep MaxRange >= MinRange + 1, so Span never reaches zero.
// Only what would lock a setter is refused: a value that is not finite, a
// minimum above the band or a maximum below it (the guards on the stored
// bounds would then ignore every later call), and a value that breaks the
// order. Wide ranges are accepted.
void TLxChart::SetMinRange(long double v)
{
    if (minRange_ > RangeLimit) return;
    if (minRange_ > maxRange_ - 1)
        maxRange_ = minRange_ + 1;
    else if (std::isfinite(v) && v <= RangeLimit && std::isfinite(maxRange_ - v) && maxRange_ - v >= 1)
        minRange_ = v;
    span_ = maxRange_ - minRange_;
    Redraw();
}

void TLxChart::SetMaxRange(long double v)
{
    if (maxRange_ < -RangeLimit) return;
    if (maxRange_ < minRange_ + 1)
        minRange_ = maxRange_ - 1;
    else if (std::isfinite(v) && v >= -RangeLimit && std::isfinite(v - minRange_) && v - minRange_ >= 1)
        maxRange_ = v;
    span_ = maxRange_ - minRange_;
    Redraw();
}

void TLxChart::SetSpeed(int s)
{
    speed_ = std::clamp(s, MinSpeed, MaxSpeed);
    CalcLayout();
}

void TLxChart::SetUpdating(bool on)
{
    updating_ = on;
    if (!on) Redraw();
}

void TLxChart::ClearSeries(int n) { series_.Clear(n); }

void TLxChart::CalcLayout()
{
    int w = picture_.isNull() ? width() : picture_.width();
    int h = picture_.isNull() ? height() : picture_.height();
    int yw = ylabelsWidth_, s = speed_;
    int a = w - yw - legendWidth_;
    labelRect_ = {0, 0, yw, h};
    plotRect_ = {yw, 0, a, h};
    scrollSource_ = {yw + s + 1, 0, a - 1, h};
    scrollTarget_ = {yw + 1, 0, a - s, h};
    newStrip_ = {a - s, 0, a, h};
    legendRect_ = {a, 0, w, h};
    writeX_ = a - s;
    lastY_.fill(NoValue);
}

// Too narrow a plot leaves nothing to scroll; the chart then keeps the
// history and the legend but draws no traces.
bool TLxChart::PlotUsable() const
{
    return !picture_.isNull() && scrollSource_.Width() >= 1;
}

long double TLxChart::ValueToY(long double v) const
{
    long double h = picture_.height();
    return h - (v - minRange_) / span_ * h;
}

void TLxChart::Redraw()
{
    if (updating_ || picture_.isNull()) return;
    CalcLayout();
    {
        QPainter p(&picture_);
        p.setFont(font());
        QFontMetrics fm(font(), &picture_);
        textHeight_ = fm.height();
        textAscent_ = fm.ascent();
        namesDirty_ = true;
        legendFresh_ = false;
        ClearPicture(p);
        DrawGridLines(p, plotRect_.Left, plotRect_.Right);
        DrawYLabels(p);
        DrawLegend(p, ChartSample{0, 0, 0, 0});
        if (PlotUsable()) RedrawHistory(p);
    }
    update();
}

void TLxChart::ClearPicture(QPainter& p)
{
    p.fillRect(picture_.rect(), ToQColor(colors_.BackGround()));
}

void TLxChart::DrawGridLines(QPainter& p, int x1, int x2)
{
    p.setPen(ToQColor(colors_.Grids()));
    if (x2 <= x1) return;
    long double y = picture_.height() - 1;
    long double step = y / grids_;
    for (int i = 0; i <= grids_ && y > -0.5L; ++i) {
        int yi = Rnd(y);
        p.drawLine(x1, yi, x2 - 1, yi);
        y -= step;
    }
}

int TLxChart::DrawOpaqueText(QPainter& p, int x, int y, const QString& text)
{
    int w = QFontMetrics(p.font(), &picture_).horizontalAdvance(text);
    p.fillRect(x, y, w, textHeight_, ToQColor(colors_.BackGround()));
    p.drawText(x, y + textAscent_, text);
    return x + w;
}

std::string TLxChart::YLabelText(long double v, long double step)
{
    if (step < 1) return OneDecimalText(v);
    long double r = std::nearbyint(std::clamp(v, -1e18L, 1e18L));
    return std::to_string((long long)r);
}

std::vector<std::string> TLxChart::YLabelTexts() const
{
    std::vector<std::string> out;
    long double v = minRange_, step = span_ / grids_;
    for (int i = 0; i <= grids_; ++i, v += step) out.push_back(YLabelText(v, step));
    return out;
}

void TLxChart::DrawYLabels(QPainter& p)
{
    p.setPen(ToQColor(colors_.Ylabels()));
    int th = textHeight_;
    long double v = minRange_, vstep = span_ / grids_;
    long double h = picture_.height();
    long double y = h - th, pstep = h / grids_;
    for (int i = 0; i <= grids_; ++i) {
        if (Rnd(y) < 0) y = 0;
        DrawOpaqueText(p, 0, Rnd(y), Latin1(YLabelText(v, vstep)));
        // The bottom label sits on the bottom edge, the others centre on
        // their grid line.
        if (i == 0) y += th / 2.0L;
        y -= pstep;
        v += vstep;
    }
    p.setPen(ToQColor(colors_.Grids()));
    p.drawLine(plotRect_.Left, 0, plotRect_.Left, picture_.height() - 1);
}

void TLxChart::RefreshNameTexts()
{
    QFontMetrics fm(font(), &picture_);
    for (int n = 1; n <= 4; ++n) {
        QString s = Latin1(series_.SeriesName(n));
        nameTexts_[n - 1].setTextFormat(Qt::PlainText);
        nameTexts_[n - 1].setText(s);
        nameTexts_[n - 1].prepare(QTransform(), font());
        nameWidths_[n - 1] = fm.horizontalAdvance(s);
    }
    namesDirty_ = false;
}

void TLxChart::DrawLegend(QPainter& p, const ChartSample& values)
{
    if (namesDirty_) RefreshNameTexts();
    QColor bg = ToQColor(colors_.BackGround());
    int a = legendRect_.Left;
    long double y = picture_.height() - 1;
    long double step = y / 4;
    for (int n = 4; n >= 1; --n) {
        y -= step;
        int yi = Rnd(y);
        p.setPen(ToQColor(colors_.SeriesColor(n)));
        long double v = values[n - 1];
        // Redrawing a row that shows the same texts would change no pixel,
        // so only changed values, and names a value text ran into, are drawn.
        bool nameHit = !legendFresh_;
        if (!IsNoValue(v)) {
            std::string text = NumberToText(v);
            std::string& shown = shownValues_[n - 1];
            if (!legendFresh_ || text != shown) {
                p.fillRect(a + 4, yi, 32, textHeight_, bg);
                if (DrawOpaqueText(p, a + 4, yi, Latin1(text)) > a + 36) nameHit = true;
                shown = text;
            }
        }
        if (nameHit) {
            p.fillRect(a + 36, yi, nameWidths_[n - 1], textHeight_, bg);
            p.drawStaticText(a + 36, yi, nameTexts_[n - 1]);
        }
    }
    legendFresh_ = true;
}

void TLxChart::RedrawHistory(QPainter& p)
{
    // j = 0 would be the oldest slot, not a newer one; and past RingSize the
    // ring would only repeat itself.
    int last = std::min(writeX_ - plotRect_.Left - 1, TLxSeries::RingSize);
    for (int n = 1; n <= 4; ++n) {
        p.setPen(ToQColor(colors_.SeriesColor(n)));
        bool havePrev = false;
        QPoint prev;
        for (int j = 1; j <= last; ++j) {
            long double v = series_.GetValue(n, j);
            if (IsNoValue(v)) continue;
            QPoint pt(writeX_ - j, Rnd(ValueToY(v)));
            if (!havePrev) prev = pt;
            p.drawLine(prev, pt);
            prev = pt;
            havePrev = true;
        }
    }
}

void TLxChart::AddPoints(const ChartSample& in)
{
    ChartSample values = in;
    for (auto& v : values)
        if (std::isnan(v)) v = NoValue;

    if (picture_.isNull() || !PlotUsable()) {
        for (int n = 1; n <= 4; ++n)
            if (values[n - 1] != NoValue) series_.AddValue(n, values[n - 1]);
        if (!picture_.isNull()) {
            QPainter p(&picture_);
            p.setFont(font());
            DrawLegend(p, values);
            update();
        }
        return;
    }

    bool scrolled = false;
    {
        QPainter p(&picture_);
        p.setFont(font());
        DrawLegend(p, values);
        for (int n = 1; n <= 4; ++n) {
            long double v = values[n - 1];
            if (v == NoValue) continue;
            series_.AddValue(n, v);
            long double y = ValueToY(v);
            p.setPen(ToQColor(colors_.SeriesColor(n)));
            long double& last = lastY_[n - 1];
            if (last == NoValue) last = y;
            p.drawLine(writeX_ - 1, Rnd(last), writeX_, Rnd(y));
            last = y;
        }
        ++writeX_;
        if (writeX_ >= scrollSource_.Right) {
            writeX_ -= speed_;
            scrolled = true;
        }
    }
    // Scroll is the last step, so handlers that run inside it (even a
    // resize) find a chart at rest.
    if (scrolled) {
        Scroll();
    } else {
        MarkDirty(QRect(writeX_ - 2, 0, 3, picture_.height()));
        MarkDirty(QRect(legendRect_.Left, 0, legendRect_.Width(), picture_.height()));
    }
}

// The stretching copy of ScrollSource onto the one column wider
// ScrollTarget, nearest neighbour by pixel centres: every source column
// lands once, one of them twice. Done as two row moves because a scaled blit
// of the plot costs several times the rest of a sample.
void TLxChart::Scroll()
{
    const int h = picture_.height();
    const int sw = scrollSource_.Width(), tw = scrollTarget_.Width();
    auto src = [&](int t) { return int((2LL * t + 1) * sw / (2LL * tw)); };
    int twice = 1;
    while (twice < tw && src(twice) != src(twice - 1)) ++twice;
    uchar* bits = picture_.bits();  // no painter is active here
    const qsizetype stride = picture_.bytesPerLine();
    const std::size_t px = 4;
    for (int row = 0; row < h; ++row) {
        uchar* line = bits + row * stride;
        std::memmove(line + std::size_t(scrollTarget_.Left) * px,
                     line + std::size_t(scrollSource_.Left) * px, std::size_t(twice) * px);
        std::memmove(line + std::size_t(scrollTarget_.Left + twice) * px,
                     line + std::size_t(scrollSource_.Left + twice - 1) * px,
                     std::size_t(tw - twice) * px);
    }
    {
        QPainter p(&picture_);
        p.fillRect(newStrip_.Left, 0, newStrip_.Width(), h, ToQColor(colors_.BackGround()));
        DrawGridLines(p, newStrip_.Left, newStrip_.Right);
    }
    MarkDirty(QRect(plotRect_.Left, 0, legendRect_.Right - plotRect_.Left, h));
    QCoreApplication::processEvents();
}

void TLxChart::MarkDirty(const QRect& r)
{
    dirty_ = dirty_.united(r);
    if (!dirtyTimer_.isActive()) dirtyTimer_.start(15);
}

void TLxChart::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    if (picture_.isNull()) {
        p.fillRect(e->rect(), ToQColor(colors_.BackGround()));
        return;
    }
    p.drawImage(e->rect().topLeft(), picture_, e->rect());
}

void TLxChart::resizeEvent(QResizeEvent*)
{
    if (grids_ == 0) return;
    if (width() <= 0 || height() <= 0) {
        picture_ = QImage();
        return;
    }
    if (picture_.size() != size()) {
        picture_ = QImage(size(), QImage::Format_RGB32);
        picture_.fill(ToQColor(colors_.BackGround()));
    }
    Redraw();
}

void TLxChart::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        namesDirty_ = true;
        Redraw();
    }
}

std::vector<std::string> TLxChart::TipLines(int x) const
{
    std::vector<std::string> lines;
    int k = plotRect_.Right - speed_ - x - 1;
    // Further back the ring holds nothing for that column: the history
    // draws nothing there either.
    if (k > TLxSeries::RingSize) return lines;
    for (int n = 1; n <= 4; ++n) {
        long double v = series_.GetValue(n, k);
        if (IsNoValue(v)) continue;
        // "%s: %4.1f %s" with an empty third part.
        lines.push_back(series_.SeriesName(n) + ": " + TipNumberText(v) + " ");
    }
    return lines;
}

// The tip belongs to the top-level window, above every chart: a splitter
// parent would take it as a new pane and resize the charts around it.
void TLxChart::ShowTip(int x, int y)
{
    FreeTip();
    QWidget* owner = window() != this ? window() : nullptr;
    tip_ = new TLxTip(owner);
    if (!owner) tip_->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    tip_->ClearLines();
    for (const auto& line : TipLines(x)) tip_->AddLine(line);
    if (tip_->Lines().empty()) return;

    QFontMetrics fm(font(), &picture_);
    int widest = 0;
    for (std::size_t i = 0; i < tip_->Lines().size() && i < 4; ++i)
        widest = std::max(widest, fm.horizontalAdvance(Latin1(tip_->Lines()[i])));
    tip_->setFont(font());
    int tipW = widest + 4;
    int tipH = 4 * fm.height() + 4;
    QPoint origin = owner ? mapTo(owner, QPoint(0, 0)) : mapToGlobal(QPoint(0, 0));
    int top = y < height() / 2 ? origin.y() + y : origin.y() + y - tipH + 1;
    tip_->setGeometry(origin.x() + x, top, tipW, tipH);
    tip_->raise();
    tip_->show();
}

void TLxChart::FreeTip()
{
    delete tip_.data();
    tip_ = nullptr;
}

void TLxChart::mousePressEvent(QMouseEvent* e)
{
    QPoint pt = e->position().toPoint();
    emit MouseDown(e->button(), pt.x(), pt.y());
    if (e->button() != Qt::LeftButton) return;
    if (pt.x() >= plotRect_.Left && pt.x() < plotRect_.Right && pt.y() >= plotRect_.Top &&
        pt.y() < plotRect_.Bottom)
        ShowTip(pt.x(), pt.y());
}

void TLxChart::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) FreeTip();
}
