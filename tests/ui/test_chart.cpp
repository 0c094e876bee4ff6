#include <QSignalSpy>
#include <QPainter>
#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>
#include <memory>
#include <set>

#include "ui/Chart.h"

namespace {

// 0x00BBGGRR -> the 0xRRGGBB that QImage reports.
QRgb Rgb(std::uint32_t c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

QRgb Px(const TLxChart& c, int x, int y) { return c.Picture().pixel(x, y) & 0xFFFFFF; }

// 400 x 101: the plot spans columns 32..239, rows map as y = 101 - v when the
// range is 0..101.
std::unique_ptr<TLxChart> MakeChart(QWidget* parent = nullptr, int w = 400, int h = 101)
{
    auto c = std::make_unique<TLxChart>(parent);
    c->resize(w, h);
    c->show();
    return c;
}

ChartSample Only1(long double v) { return {v, NoValue, NoValue, NoValue}; }
const ChartSample None{NoValue, NoValue, NoValue, NoValue};

}  // namespace

class ChartTest : public QObject {
    Q_OBJECT
private slots:
    void defaultsAndClamps();
    void layoutAreas();
    void rangeSetters();
    void tipNumberText();
    void gridLineRows();
    void labelTexts();
    void labelsAndLegendInThePicture();
    void tracePixel();
    void scrollTiming();
    void stretchingCopy();
    void gapJoinedBySegment();
    void noValueSamplesAdvance();
    void ringOffsets();
    void clearSeriesAtNextRepaint();
    void historyAfterRedraw();
    void updatingBracket();
    void narrowAndHostileInput();
    void tipOnLeftButton();
};

void ChartTest::defaultsAndClamps()
{
    TLxChart c;
    QCOMPARE(c.size(), QSize(255, 127));
    QCOMPARE(c.minimumSize(), QSize(100, 50));
    QCOMPARE(c.YlabelsWidth(), 32);
    QCOMPARE(c.LegendWidth(), 128);
    QCOMPARE(c.Grids(), 2);
    QCOMPARE(c.MinRange(), 0.0L);
    QCOMPARE(c.MaxRange(), 255.0L);
    QCOMPARE(c.Speed(), 4);
    QVERIFY(c.Picture().isNull());  // no bitmap before the first layout
    QCOMPARE(c.Colors().BackGround(), 0x800000u);
    QCOMPARE(c.Colors().Grids(), 0xFFFFFFu);
    QCOMPARE(c.Colors().Ylabels(), 0xFFFFFFu);
    QCOMPARE(c.Colors().Notes(), 0x00FF00u);
    QCOMPARE(c.Colors().SeriesColor(1), 0x00FFFFu);
    QCOMPARE(c.Colors().SeriesColor(2), 0xFF00FFu);
    QCOMPARE(c.Colors().SeriesColor(3), 0xFFFF00u);
    QCOMPARE(c.Colors().SeriesColor(4), 0x0000FFu);
    QCOMPARE(c.Colors().SeriesColor(0), 0u);
    QCOMPARE(c.Colors().SeriesColor(5), 0u);
    QCOMPARE(c.Series().SeriesName(1), std::string("Series 1"));
    QCOMPARE(c.Series().Series4(), std::string("Series 4"));
    QCOMPARE(c.Series().SeriesName(0), std::string());
    QCOMPARE(c.Series().SeriesName(5), std::string());

    c.SetYlabelsWidth(100);
    QCOMPARE(c.YlabelsWidth(), 64);
    c.SetYlabelsWidth(-5);
    QCOMPARE(c.YlabelsWidth(), 32);
    c.SetLegendWidth(10);
    QCOMPARE(c.LegendWidth(), 64);
    c.SetLegendWidth(1000);
    QCOMPARE(c.LegendWidth(), 128);
    c.SetGrids(0);
    QCOMPARE(c.Grids(), 2);
    c.SetGrids(12);
    QCOMPARE(c.Grids(), 10);
    c.SetSpeed(1);
    QCOMPARE(c.Speed(), 2);
    c.SetSpeed(-100);
    QCOMPARE(c.Speed(), 2);
}

void ChartTest::layoutAreas()
{
    auto c = MakeChart();
    QCOMPARE(c->Picture().size(), QSize(400, 101));
    QCOMPARE(c->Picture().format(), QImage::Format_RGB32);
    // a = 400 - 32 - 128 = 240
    auto check = [](TLxRect r, int l, int rt) {
        QCOMPARE(r.Left, l);
        QCOMPARE(r.Right, rt);
        QCOMPARE(r.Top, 0);
        QCOMPARE(r.Bottom, 101);
    };
    check(c->LabelRect(), 0, 32);
    check(c->PlotRect(), 32, 240);
    check(c->ScrollSource(), 37, 239);
    check(c->ScrollTarget(), 33, 236);
    check(c->NewStrip(), 236, 240);
    check(c->LegendRect(), 240, 400);
    QCOMPARE(c->WriteX(), 236);
    // Speed lays out again without a repaint.
    c->SetSpeed(10);
    check(c->NewStrip(), 230, 240);
    QCOMPARE(c->WriteX(), 230);
    c->resize(500, 101);
    check(c->LegendRect(), 340, 500);
    QCOMPARE(c->Picture().width(), 500);
}

void ChartTest::rangeSetters()
{
    TLxChart c;
    // Display set-up: reset to 0..1, then widen.
    c.SetMinRange(0);
    c.SetMaxRange(1);
    QCOMPARE(c.MinRange(), 0.0L);
    QCOMPARE(c.MaxRange(), 1.0L);
    c.SetMinRange(-40);
    c.SetMaxRange(150);
    QCOMPARE(c.MinRange(), -40.0L);
    QCOMPARE(c.MaxRange(), 150.0L);
    // ... and back again from a wide range.
    c.SetMinRange(0);
    c.SetMaxRange(1);
    c.SetMinRange(0);
    c.SetMaxRange(6375);
    QCOMPARE(c.MinRange(), 0.0L);
    QCOMPARE(c.MaxRange(), 6375.0L);

    // Refused: what breaks the order, is not finite, or would lock a
    // setter (a minimum above 99999, a maximum below -99999).
    c.SetMinRange(6375);
    c.SetMinRange(7000);
    c.SetMaxRange(0.5);
    c.SetMaxRange(-10);
    c.SetMinRange(std::numeric_limits<long double>::quiet_NaN());
    c.SetMaxRange(std::numeric_limits<long double>::infinity());
    QCOMPARE(c.MinRange(), 0.0L);
    QCOMPARE(c.MaxRange(), 6375.0L);
    c.SetMaxRange(150000);
    c.SetMinRange(100000);
    QCOMPARE(c.MinRange(), 0.0L);
    QCOMPARE(c.MaxRange(), 150000.0L);
    c.SetMinRange(-1e6L);
    c.SetMaxRange(-100000);
    QCOMPARE(c.MinRange(), -1e6L);
    QCOMPARE(c.MaxRange(), 150000.0L);
    // Both setters still answer afterwards.
    c.SetMinRange(0);
    c.SetMaxRange(1);
    QCOMPARE(c.MinRange(), 0.0L);
    QCOMPARE(c.MaxRange(), 1.0L);
    c.SetMinRange(-std::numeric_limits<long double>::max());
    c.SetMaxRange(std::numeric_limits<long double>::max());
    QVERIFY(std::isfinite(c.MaxRange() - c.MinRange()) && c.MaxRange() - c.MinRange() >= 1);
}

void ChartTest::tipNumberText()
{
    // Past the ring, the tip shows nothing, as the history draws nothing.
    auto c = MakeChart(nullptr, 1300, 101);
    for (int i = 0; i < 1100; ++i) c->AddPoints({50, NoValue, NoValue, NoValue});
    const int k1024 = c->PlotRect().Right - c->Speed() - 1 - 1024;
    QCOMPARE(c->TipLines(k1024).size(), std::size_t(1));
    QVERIFY(c->TipLines(k1024 - 1).empty());

    // "." under any locale, halves away from zero, at least four wide.
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) QSKIP("no de_DE.UTF-8 locale installed");
    QCOMPARE(TLxChart::TipNumberText(12.25L), std::string("12.3"));
    QCOMPARE(TLxChart::TipNumberText(-12.25L), std::string("-12.3"));
    QCOMPARE(TLxChart::TipNumberText(0.15L), std::string(" 0.2"));
    QCOMPARE(TLxChart::TipNumberText(-0.04L), std::string(" 0.0"));
    QCOMPARE(TLxChart::TipNumberText(99999.95L), std::string("100000.0"));
    QCOMPARE(TLxChart::TipNumberText(1e20L), std::string("100000000000000000000.0"));
    std::setlocale(LC_NUMERIC, old.c_str());
}

void ChartTest::gridLineRows()
{
    auto c = MakeChart();
    c->Colors().SetGrids(0x0080FF);
    struct Case { int grids; std::set<int> rows; };
    // y = 100 - i * 100 / grids, ties to even (87.5 -> 88, 62.5 -> 62 ...).
    const Case cases[] = {
        {2, {100, 50, 0}},
        {3, {100, 67, 33, 0}},
        {4, {100, 75, 50, 25, 0}},
        {8, {100, 88, 75, 62, 50, 38, 25, 12, 0}},
        {10, {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 0}},
    };
    for (const auto& k : cases) {
        c->SetGrids(k.grids);
        for (int x : {33, 150, 239}) {
            for (int y = 0; y < 101; ++y) {
                QRgb want = k.rows.count(y) ? Rgb(0x0080FF) : Rgb(0x800000);
                if (Px(*c, x, y) != want)
                    QFAIL(qPrintable(QString("grids %1: pixel %2,%3").arg(k.grids).arg(x).arg(y)));
            }
        }
        // The axis line and nothing past the plot.
        QCOMPARE(Px(*c, 32, 37), Rgb(0x0080FF));
        QCOMPARE(Px(*c, 240 + 2, 50), Rgb(0x800000));
    }
}

// How much of `text`, drawn alone at (x, y) in `color`, the chart's picture
// shows there: 1 when every pixel of it is in place.
double Shown(const TLxChart& c, int x, int y, const QString& text, QRgb color)
{
    const QRgb bg = Px(c, c.Picture().width() - 1, c.Picture().height() - 1);
    QImage ref(c.Picture().size(), QImage::Format_RGB32);
    ref.fill(bg);
    {
        QPainter p(&ref);
        p.setFont(c.font());
        p.setPen(QColor(color));
        p.drawText(x, y + QFontMetrics(c.font(), &ref).ascent(), text);
    }
    int ink = 0, same = 0;
    for (int j = 0; j < ref.height(); ++j)
        for (int i = 0; i < ref.width(); ++i)
            if ((ref.pixel(i, j) & 0xFFFFFF) != bg) {
                ++ink;
                same += Px(c, i, j) == (ref.pixel(i, j) & 0xFFFFFF);
            }
    return ink ? double(same) / ink : 0;
}

void ChartTest::labelsAndLegendInThePicture()
{
    auto c = MakeChart();  // 400 x 101, legend from x = 240
    const int th = QFontMetrics(c->font()).height(), a = c->LegendRect().Left;
    const QRgb white = 0xFFFFFF, yellow = 0xFFFF00, red = 0xFF0000;
    // Labels: the first sits on the bottom edge, the middle one is centred on
    // its grid line, the top one is held at row 0.
    QVERIFY(Shown(*c, 0, 101 - th, "0", white) > 0.9);
    QVERIFY(Shown(*c, 0, int(std::nearbyint(101 - th + th / 2.0 - 50.5)), "128", white) > 0.9);
    QVERIFY(Shown(*c, 0, 0, "255", white) > 0.9);
    // Legend rows start at 0, (H-1)/4, (H-1)/2 and 3(H-1)/4, each "0" and its name.
    QVERIFY(Shown(*c, a + 4, 0, "0", yellow) > 0.9);
    QVERIFY(Shown(*c, a + 36, 0, "Series 1", yellow) > 0.9);
    QVERIFY(Shown(*c, a + 4, 75, "0", red) > 0.9);
    QVERIFY(Shown(*c, a + 36, 75, "Series 4", red) > 0.9);
    QVERIFY(Shown(*c, a + 36, 76, "Series 4", red) < 0.9);  // one row off is not it
    c->AddPoints({12.5, NoValue, NoValue, 7});
    QVERIFY(Shown(*c, a + 4, 0, "12.50", yellow) > 0.9);
    QVERIFY(Shown(*c, a + 4, 75, "7", red) > 0.9);
    QVERIFY(Shown(*c, a + 36, 0, "Series 1", yellow) > 0.9);
}

void ChartTest::labelTexts()
{
    TLxChart c;
    QCOMPARE(c.YLabelTexts(), (std::vector<std::string>{"0", "128", "255"}));
    c.SetMinRange(0);
    c.SetMaxRange(1);
    c.SetGrids(4);
    QCOMPARE(c.YLabelTexts(), (std::vector<std::string>{"0.0", "0.3", "0.5", "0.8", "1.0"}));
    c.SetMinRange(-40);
    c.SetMaxRange(150);
    c.SetGrids(4);
    QCOMPARE(c.YLabelTexts(), (std::vector<std::string>{"-40", "8", "55", "102", "150"}));

    // Integer labels round ties to even; one-decimal labels keep four
    // significant digits, group thousands and never show "-0.0".
    QCOMPARE(TLxChart::YLabelText(2.5L, 1), std::string("2"));
    QCOMPARE(TLxChart::YLabelText(-3.5L, 1), std::string("-4"));
    QCOMPARE(TLxChart::YLabelText(-0.25L, 0.25L), std::string("-0.3"));
    QCOMPARE(TLxChart::YLabelText(-0.04L, 0.25L), std::string("0.0"));
    QCOMPARE(TLxChart::YLabelText(0.35L, 0.25L), std::string("0.4"));
    QCOMPARE(TLxChart::YLabelText(1234.5L, 0.5L), std::string("1,235.0"));
    QCOMPARE(TLxChart::YLabelText(99998.7L, 0.5L), std::string("100,000.0"));
    QCOMPARE(TLxChart::YLabelText(9.96L, 0.5L), std::string("10.0"));
}

void ChartTest::tracePixel()
{
    auto c = MakeChart();
    c->SetMinRange(0);
    c->SetMaxRange(101);
    const int x0 = c->WriteX();
    c->AddPoints({50, 20, NoValue, 100});
    QCOMPARE(c->WriteX(), x0 + 1);
    QCOMPARE(Px(*c, x0, 51), Rgb(c->Colors().Series1()));
    QCOMPARE(Px(*c, x0 - 1, 51), Rgb(c->Colors().Series1()));
    QCOMPARE(Px(*c, x0, 81), Rgb(c->Colors().Series2()));
    QCOMPARE(Px(*c, x0, 1), Rgb(c->Colors().Series4()));
    QCOMPARE(Px(*c, x0, 52), Rgb(0x800000));
    QCOMPARE(Px(*c, x0 + 1, 51), Rgb(0x800000));
    // The next point continues from the last one: a line down one column.
    c->AddPoints(Only1(40));
    for (int y = 52; y <= 60; ++y) {
        bool hit = Px(*c, x0, y) == Rgb(c->Colors().Series1()) ||
                   Px(*c, x0 + 1, y) == Rgb(c->Colors().Series1());
        QVERIFY2(hit, qPrintable(QString("row %1").arg(y)));
    }
    QCOMPARE(Px(*c, x0 + 1, 61), Rgb(c->Colors().Series1()));
}

void ChartTest::scrollTiming()
{
    auto c = MakeChart();
    c->SetMinRange(0);
    c->SetMaxRange(101);
    for (int speed : {4, 6}) {
        c->SetSpeed(speed);
        const int a = c->LegendRect().Left;
        QCOMPARE(c->WriteX(), a - speed);
        // The first scroll after Speed - 1 samples, then every Speed.
        for (int i = 1; i < speed - 1; ++i) {
            c->AddPoints(Only1(30));
            QCOMPARE(c->WriteX(), a - speed + i);
        }
        c->AddPoints(Only1(30));
        QCOMPARE(c->WriteX(), a - 1 - speed);
        for (int round = 0; round < 3; ++round) {
            for (int i = 1; i < speed; ++i) {
                c->AddPoints(Only1(30));
                QCOMPARE(c->WriteX(), a - 1 - speed + i);
            }
            c->AddPoints(Only1(30));
            QCOMPARE(c->WriteX(), a - 1 - speed);
        }
        // The new strip is cleared: only grid rows remain there.
        for (int x = a - speed; x < a; ++x) {
            QCOMPARE(Px(*c, x, 71), Rgb(0x800000));
            QCOMPARE(Px(*c, x, 50), Rgb(0xFFFFFF));
        }
        c->Redraw();
    }

    // A lone point moves left by about Speed columns on a scroll.
    c->SetSpeed(4);
    c->Series().AddValue(1, NoValue);
    c->ClearSeries(1);
    c->Redraw();
    const int x0 = c->WriteX();  // 236
    c->AddPoints(Only1(80));     // drawn at 235..236, row 21
    c->AddPoints(None);
    QCOMPARE(Px(*c, x0, 21), Rgb(c->Colors().Series1()));
    c->AddPoints(None);  // scroll
    QCOMPARE(c->WriteX(), x0 - 1);
    QCOMPARE(Px(*c, x0, 21), Rgb(0x800000));
    QVERIFY(Px(*c, x0 - 4, 21) == Rgb(c->Colors().Series1()) ||
            Px(*c, x0 - 3, 21) == Rgb(c->Colors().Series1()));
}

void ChartTest::stretchingCopy()
{
    auto c = MakeChart();
    c->SetMinRange(0);
    c->SetMaxRange(101);
    for (int i = 0; i < 301; ++i)
        c->AddPoints({static_cast<long double>(i % 97), static_cast<long double>((i * 7) % 101),
                      NoValue, NoValue});
    while (c->WriteX() != c->ScrollSource().Right - 1) c->AddPoints(None);
    const QImage before = c->Picture().copy();
    c->AddPoints(None);  // this one scrolls
    const QImage& after = c->Picture();
    const int sl = c->ScrollSource().Left, tl = c->ScrollTarget().Left, tw = c->ScrollTarget().Width();
    auto sameColumn = [&](int ta, int sb) {
        for (int y = 0; y < after.height(); ++y)
            if (after.pixel(ta, y) != before.pixel(sb, y)) return false;
        return true;
    };
    // Source columns land in order; one of them twice, near the middle.
    int twice = 0;
    while (twice < tw && sameColumn(tl + twice, sl + twice)) ++twice;
    QVERIFY2(std::abs(twice - tw / 2) <= 2, qPrintable(QString::number(twice)));
    for (int t = twice; t < tw; ++t) QVERIFY(sameColumn(tl + t, sl + t - 1));
    // The labels and the axis stay.
    for (int x = 0; x <= c->PlotRect().Left; ++x) QVERIFY(sameColumn(x, x));
}

void ChartTest::gapJoinedBySegment()
{
    auto c = MakeChart();
    c->SetMinRange(0);
    c->SetMaxRange(101);
    c->SetSpeed(20);  // room for the samples before the first scroll
    const int x0 = c->WriteX();
    const QRgb s1 = Rgb(c->Colors().Series1());
    c->AddPoints(Only1(10));  // row 91 at x0
    c->AddPoints(None);
    c->AddPoints(None);
    c->AddPoints(None);
    c->AddPoints(Only1(60));  // row 41 at x0 + 4, from row 91 at x0 + 3
    QCOMPARE(Px(*c, x0 + 1, 91), Rgb(0x800000));
    QCOMPARE(Px(*c, x0 + 2, 91), Rgb(0x800000));
    QCOMPARE(Px(*c, x0 + 3, 91), s1);
    QCOMPARE(Px(*c, x0 + 4, 41), s1);
    for (int y = 41; y <= 91; ++y) {
        bool hit = Px(*c, x0 + 3, y) == s1 || Px(*c, x0 + 4, y) == s1;
        QVERIFY2(hit, qPrintable(QString("row %1 not joined").arg(y)));
    }
    // Only values are kept, so the history holds them back to back.
    QCOMPARE(c->Series().GetValue(1, 1), 60.0L);
    QCOMPARE(c->Series().GetValue(1, 2), 10.0L);

    // On a repaint, a cleared slot between two values is bridged.
    c->Series().AddValue(1, NoValue);
    c->Series().AddValue(1, NoValue);
    c->Series().AddValue(1, 90);  // row 11
    c->Redraw();
    const int w = c->WriteX();
    QCOMPARE(Px(*c, w - 1, 11), s1);
    QCOMPARE(Px(*c, w - 4, 41), s1);
    for (int x = w - 3; x <= w - 2; ++x) {
        bool any = false;
        for (int y = 11; y <= 41; ++y) any = any || Px(*c, x, y) == s1;
        QVERIFY2(any, qPrintable(QString("column %1 not bridged").arg(x)));
    }
}

void ChartTest::noValueSamplesAdvance()
{
    auto c = MakeChart();
    c->SetMinRange(0);
    c->SetMaxRange(101);
    c->AddPoints(Only1(50));
    const int wi = c->Series().WriteIndex(1);
    const int a = c->LegendRect().Left;
    c->AddPoints(None);
    QCOMPARE(c->WriteX(), a - 4 + 2);
    c->AddPoints(None);  // scroll
    QCOMPARE(c->WriteX(), a - 5);
    for (int n = 1; n <= 4; ++n) QCOMPARE(c->Series().WriteIndex(n), n == 1 ? wi : 1);
    // The series resumes from its kept last point, drawn in the current column.
    c->AddPoints(Only1(70));
    QCOMPARE(Px(*c, c->WriteX() - 1, 31), Rgb(c->Colors().Series1()));
    QCOMPARE(Px(*c, c->WriteX() - 2, 51), Rgb(c->Colors().Series1()));
}

void ChartTest::ringOffsets()
{
    TLxSeries s(nullptr);
    QCOMPARE(TLxSeries::NextSlot(1), 2);
    QCOMPARE(TLxSeries::NextSlot(1023), 1024);
    QCOMPARE(TLxSeries::NextSlot(1024), 1);
    QCOMPARE(s.GetValue(1, 0), NoValue);
    QCOMPARE(s.GetValue(1, 1), NoValue);
    s.AddValue(1, 11);
    s.AddValue(1, 12);
    QCOMPARE(s.GetValue(1, 1), 12.0L);
    QCOMPARE(s.GetValue(1, 2), 11.0L);
    QCOMPARE(s.GetValue(1, 0), NoValue);     // the unwritten oldest slot
    QCOMPARE(s.GetValue(1, 1024), NoValue);  // same slot as k = 0
    QCOMPARE(s.GetValue(1, 1025), 12.0L);
    QCOMPARE(s.GetValue(2, 1), NoValue);
    QCOMPARE(s.GetValue(0, 1), NoValue);
    QCOMPARE(s.GetValue(5, 1), NoValue);
    s.AddValue(0, 1);
    s.AddValue(5, 1);
    QCOMPARE(s.WriteIndex(1), 3);

    for (int i = 3; i <= 1030; ++i) s.AddValue(1, 10 + i);  // 1030 values in all
    QCOMPARE(s.WriteIndex(1), 7);
    QCOMPARE(s.GetValue(1, 1), 1040.0L);
    QCOMPARE(s.GetValue(1, 1023), 18.0L);
    QCOMPARE(s.GetValue(1, 1024), 17.0L);  // the oldest kept
    QCOMPARE(s.GetValue(1, 0), 17.0L);
    QCOMPARE(s.GetValue(1, 2048 + 1), 1040.0L);
    QCOMPARE(s.GetValue(1, -1), NoValue);  // its slot is a written one now
    s.Clear(1);
    QCOMPARE(s.GetValue(1, 1), NoValue);
    QCOMPARE(s.WriteIndex(1), 7);
}

void ChartTest::clearSeriesAtNextRepaint()
{
    auto c = MakeChart();
    c->SetMinRange(0);
    c->SetMaxRange(101);
    const int x0 = c->WriteX();
    c->AddPoints({50, 20, NoValue, NoValue});
    const int wi = c->Series().WriteIndex(1);
    c->ClearSeries(1);
    c->ClearSeries(0);
    c->ClearSeries(5);
    QCOMPARE(c->Series().GetValue(1, 1), NoValue);
    QCOMPARE(c->Series().WriteIndex(1), wi);
    QCOMPARE(Px(*c, x0, 51), Rgb(c->Colors().Series1()));  // still on the picture
    c->Redraw();
    QCOMPARE(c->WriteX(), x0);
    QCOMPARE(Px(*c, x0 - 1, 51), Rgb(0x800000));
    QCOMPARE(Px(*c, x0 - 1, 81), Rgb(c->Colors().Series2()));  // series 2 kept
}

void ChartTest::historyAfterRedraw()
{
    auto c = MakeChart();
    c->SetMinRange(0);
    c->SetMaxRange(101);
    for (int i = 0; i < 1030; ++i) c->AddPoints(Only1(i % 2 ? 30 : 70));
    // A colour change repaints from the rings: column WriteX - j shows the
    // value j samples back.
    c->Colors().SetSeries1(0x00C0C0);
    const QRgb s1 = Rgb(0x00C0C0);
    const int w = c->WriteX();
    QCOMPARE(Px(*c, w - 1, 71), s1);  // newest: 30
    QCOMPARE(Px(*c, w - 2, 31), s1);  // 70
    QCOMPARE(Px(*c, w - 150, 31), s1);
    // Nothing at WriteX itself, even though the ring has wrapped.
    for (int y = 0; y < 101; ++y) QVERIFY(Px(*c, w, y) != s1);
    // A resize keeps the history.
    c->resize(600, 101);
    QCOMPARE(Px(*c, c->WriteX() - 1, 71), s1);
}

void ChartTest::updatingBracket()
{
    auto c = MakeChart();
    c->SetUpdating(true);
    c->Colors().SetBackGround(0x004000);
    c->SetGrids(5);
    c->Series().SetSeries1("RPM");
    QCOMPARE(Px(*c, 150, 30), Rgb(0x800000));  // untouched so far
    QCOMPARE(c->Series().SeriesName(1), std::string("RPM"));
    c->SetUpdating(false);
    QCOMPARE(Px(*c, 150, 30), Rgb(0x004000));
    QCOMPARE(Px(*c, 150, 40), Rgb(0xFFFFFF));  // a grid row of 5 intervals
}

void ChartTest::narrowAndHostileInput()
{
    // At and below 2 * YlabelsWidth + LegendWidth + Speed + 2 = 198 nothing
    // scrolls; the chart keeps history and survives.
    for (int w : {100, 150, 197, 198, 199, 200}) {
        auto c = MakeChart(nullptr, w, 60);
        for (int i = 0; i < 50; ++i) c->AddPoints({1e30L, -1e30L, 128, NoValue});
        QCOMPARE(c->Series().GetValue(3, 1), 128.0L);
        QCOMPARE(c->Picture().width(), w);
        c->SetSpeed(100000);
        for (int i = 0; i < 10; ++i) c->AddPoints(Only1(5));
        c->Redraw();
    }
    auto c = MakeChart();
    const long double inf = std::numeric_limits<long double>::infinity();
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    for (int i = 0; i < 20; ++i) c->AddPoints({inf, -inf, nan, 1e4000L});
    QCOMPARE(c->Series().WriteIndex(3), 1);  // NaN is no value
    QCOMPARE(c->Series().GetValue(1, 1), inf);
    c->Redraw();
    c->SetSpeed(2);
    for (int i = 0; i < 20; ++i) c->AddPoints(Only1(50));
    QCOMPARE(Px(*c, c->WriteX() - 1, 81), Rgb(c->Colors().Series1()));  // still drawn
}

void ChartTest::tipOnLeftButton()
{
    QWidget parent;
    parent.resize(500, 200);
    auto c = MakeChart(&parent);
    c->move(10, 20);
    parent.show();
    c->SetMinRange(0);
    c->SetMaxRange(101);
    c->Series().SetSeries2("RPM");
    c->AddPoints({12.25, 800, NoValue, NoValue});
    c->AddPoints({12.5, 801, NoValue, NoValue});
    c->AddPoints({12.75, 802, NoValue, NoValue});  // scrolls

    bool tipDuringSignal = true;
    QSignalSpy spy(c.get(), &TLxChart::MouseDown);
    connect(c.get(), &TLxChart::MouseDown, this,
            [&](Qt::MouseButton, int, int) { tipDuringSignal = c->Tip() != nullptr; });

    // k = PlotRect.right - Speed - x - 1 = 1: the newest sample.
    const int x = c->PlotRect().Right - c->Speed() - 2;
    QTest::mousePress(c.get(), Qt::LeftButton, {}, QPoint(x, 70));
    QCOMPARE(spy.count(), 1);
    QVERIFY(!tipDuringSignal);
    QVERIFY(c->Tip());
    QCOMPARE(c->Tip()->Lines(),
             (std::vector<std::string>{"Series 1: 12.8 ", "RPM: 802.0 "}));
    QVERIFY(c->Tip()->isVisible());
    QCOMPARE(c->Tip()->parentWidget(), &parent);
    QCOMPARE(c->Tip()->x(), 10 + x);
    // Pressed in the lower half: the tip ends at the pointer row.
    QCOMPARE(c->Tip()->geometry().bottom(), 20 + 70);
    QTest::mouseRelease(c.get(), Qt::LeftButton, {}, QPoint(x, 70));
    QVERIFY(!c->Tip());

    QTest::mousePress(c.get(), Qt::LeftButton, {}, QPoint(x - 1, 10));
    QCOMPARE(c->Tip()->Lines().front(), std::string("Series 1: 12.5 "));
    QCOMPARE(c->Tip()->y(), 20 + 10);
    QTest::mouseRelease(c.get(), Qt::LeftButton, {}, QPoint(x - 1, 10));

    // Within the rightmost Speed columns k < 0: no tip shown.
    QTest::mousePress(c.get(), Qt::LeftButton, {}, QPoint(c->PlotRect().Right - 1, 50));
    QVERIFY(!c->Tip() || !c->Tip()->isVisible());
    QTest::mouseRelease(c.get(), Qt::LeftButton, {}, QPoint(c->PlotRect().Right - 1, 50));
    // Outside the plot and other buttons: only the signal.
    QTest::mousePress(c.get(), Qt::LeftButton, {}, QPoint(5, 50));
    QVERIFY(!c->Tip());
    QTest::mouseRelease(c.get(), Qt::LeftButton, {}, QPoint(5, 50));
    QTest::mousePress(c.get(), Qt::RightButton, {}, QPoint(x, 50));
    QVERIFY(!c->Tip());
    QTest::mouseRelease(c.get(), Qt::RightButton, {}, QPoint(x, 50));
    QCOMPARE(spy.count(), 5);
    QCOMPARE(spy.last().at(0).value<Qt::MouseButton>(), Qt::RightButton);

    // A tip still up when the chart goes away goes with it.
    QTest::mousePress(c.get(), Qt::LeftButton, {}, QPoint(x, 70));
    QPointer<TLxTip> tip = c->Tip();
    QVERIFY(tip);
    c.reset();
    QVERIFY(!tip);
}

QTEST_MAIN(ChartTest)
#include "test_chart.moc"
