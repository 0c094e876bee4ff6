#include "ui/About.h"

#include "ui/GridLines.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QColor Navy(0, 0, 128);

// A line through steps + 1 points, as the charts draw their traces.
template <class Point>
QPainterPath Polyline(int steps, Point point)
{
    QPainterPath path(point(0));
    for (int i = 1; i <= steps; ++i) path.lineTo(point(i));
    return path;
}

// A trace like the charts draw: a warm-up curve with a little ripple.
QPainterPath Trace(qreal x0, qreal x1, qreal yTop, qreal yBottom)
{
    const int steps = 120;
    return Polyline(steps, [&](int i) {
        const qreal t = qreal(i) / steps;
        const qreal v = 0.15 + 0.6 * (1 - std::exp(-4 * t)) + 0.05 * std::sin(t * 40) * (1 - t * 0.5);
        return QPointF(x0 + t * (x1 - x0), yBottom - v * (yBottom - yTop));
    });
}

// The picture's ground: navy fading to another colour along the gradient.
void Backdrop(QPainter& p, const QRectF& r, QPointF gradientEnd, const QColor& end)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(QPointF(0, 0), gradientEnd);
    g.setColorAt(0, Navy);
    g.setColorAt(1, end);
    p.fillRect(r, g);
}

// The program's name in bold and its subtitle beneath or beside it.
void Titles(QPainter& p, const QRectF& name, int namePx, const QRectF& sub, int subPx, const QColor& subColour)
{
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setFamily("Sans Serif");
    f.setPixelSize(namePx);
    f.setBold(true);
    p.setFont(f);
    p.drawText(name, Qt::AlignLeft | Qt::AlignVCenter, "Diduvuve");
    f.setPixelSize(subPx);
    f.setBold(false);
    p.setFont(f);
    p.setPen(subColour);
    p.drawText(sub, Qt::AlignLeft | Qt::AlignVCenter, "ALDL 8192 baud Analyser");
}

void Grid(QPainter& p, const QRectF& r, int rows, int cols)
{
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    for (int i = 0; i <= rows; ++i) p.drawLine(QPointF(r.left(), r.top() + i * r.height() / rows), QPointF(r.right(), r.top() + i * r.height() / rows));
    for (int i = 0; i <= cols; ++i) p.drawLine(QPointF(r.left() + i * r.width() / cols, r.top()), QPointF(r.left() + i * r.width() / cols, r.bottom()));
}

// A dial with ticks and a needle, centred at c.
void Gauge(QPainter& p, QPointF c, qreal r, qreal needle)
{
    p.setPen(QPen(QColor(192, 192, 192), 2));
    p.setBrush(QColor(0, 0, 64));
    p.drawEllipse(c, r, r);
    for (int i = 0; i <= 10; ++i) {
        const qreal a = (225 - i * 27) * M_PI / 180;
        const QPointF dir(std::cos(a), -std::sin(a));
        p.setPen(QPen(i >= 8 ? QColor(255, 64, 64) : Qt::white, i % 5 == 0 ? 2.5 : 1.5));
        p.drawLine(c + dir * (r * 0.72), c + dir * (r * 0.9));
    }
    const qreal a = (225 - needle * 270) * M_PI / 180;
    p.setPen(QPen(QColor(255, 255, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(std::cos(a), -std::sin(a)) * (r * 0.8));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(192, 192, 192));
    p.drawEllipse(c, r * 0.1, r * 0.1);
}

} // namespace

QPixmap AboutPicture(int width, int height)
{
    QPixmap pm(width, height);
    QPainter p(&pm);
    Backdrop(p, pm.rect(), QPointF(0, height), QColor(20, 60, 130));

    const QRectF plot(20, height * 0.52, width - 40, height * 0.30);
    p.fillRect(plot, QColor(0, 0, 96));
    Grid(p, plot, 4, 12);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 0), 2));
    p.drawPath(Trace(plot.left(), plot.right(), plot.top(), plot.bottom()));
    p.setPen(QPen(QColor(255, 0, 255), 1.5));
    p.drawPath(Polyline(60, [&](int i) {
        return QPointF(plot.left() + i * plot.width() / 60,
                       plot.bottom() - plot.height() * (0.3 + 0.15 * std::sin(i / 4.0) + (i % 7 == 0 ? 0.08 : 0)));
    }));

    Gauge(p, QPointF(width - 62, 58), 42, 0.62);
    Titles(p, QRectF(20, 22, width - 130, 40), 30, QRectF(22, 62, width - 130, 20), 13, QColor(192, 192, 192));
    return pm;
}

QPixmap BannerPicture(int width, int height)
{
    QPixmap pm(width, height);
    QPainter p(&pm);
    Backdrop(p, pm.rect(), QPointF(width, 0), QColor(64, 128, 192));
    // Frame bytes running along the banner, as the raw view shows them.
    QFont small = p.font();
    small.setFamily("Monospace");
    small.setPixelSize(10);
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 50));
    QString bytes;
    for (int i = 0; i < 400; ++i) bytes += QString::asprintf("%02X ", (i * 37 + 0xF4) & 0xFF);
    p.drawText(QPointF(300, height - 6), bytes);
    p.setPen(QPen(QColor(255, 255, 0, 200), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Trace(300, width, 4, height - 14));
    Gauge(p, QPointF(height / 2.0 + 4, height / 2.0), height / 2.0 - 4, 0.55);
    Titles(p, QRectF(height + 12, 0, 300, height), 18, QRectF(height + 112, 0, 300, height), 12, Qt::white);
    return pm;
}

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName("frmAbout");
    setWindowTitle("About Diduvuve");
    const QPixmap pm = AboutPicture(380, 240);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(pm);
    Image1->setScaledContents(true);
    // The client area is exactly the picture.
    Image1->setGeometry(0, 0, pm.width(), pm.height());
    setFixedSize(pm.size());

    btnCredits = new QPushButton("&Credits", this);
    btnCredits->setObjectName("btnCredits");
    btnOK = new QPushButton("&Ok", this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCredits->setGeometry(pm.width() - 170, pm.height() - 32, 75, 24);
    btnOK->setGeometry(pm.width() - 85, pm.height() - 32, 75, 24);

    pnlCredits = new QWidget(this);
    pnlCredits->setObjectName("pnlCredits");
    pnlCredits->setGeometry(30, 40, pm.width() - 60, pm.height() - 84);
    pnlCredits->setAutoFillBackground(true);
    auto* pl = new QVBoxLayout(pnlCredits);
    pl->setContentsMargins(2, 2, 2, 2);
    pl->setSpacing(2);
    // A plain text box lays every line out by the document's own option.
    auto centred = [](QPlainTextEdit* m) {
        QTextOption o = m->document()->defaultTextOption();
        o.setAlignment(Qt::AlignHCenter);
        m->document()->setDefaultTextOption(o);
    };
    Memo1 = new QPlainTextEdit(pnlCredits);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    centred(Memo1); // before the text: lines already laid out keep their place
    Memo1->setPlainText("Diduvuve - ALDL 8192 baud Analyser\nWith thanks to");
    QPalette hp = Memo1->palette();
    hp.setColor(QPalette::Base, Navy);
    hp.setColor(QPalette::Text, QColor(192, 192, 192));
    Memo1->setPalette(hp);
    Memo1->setFixedHeight(2 * Memo1->fontMetrics().lineSpacing() + 12);
    pl->addWidget(Memo1);

    memCredits = new QPlainTextEdit(pnlCredits);
    memCredits->setObjectName("memCredits");
    memCredits->setReadOnly(true);
    memCredits->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    centred(memCredits);
    memCredits->setPlainText(
        "The Qt 6 toolkit, for the window, its tables\n"
        "and every picture drawn here.\n"
        "\n"
        "The GNU C++ compiler and its standard library,\n"
        "CMake and Ninja, which build the program.\n"
        "\n"
        "GoogleTest, Qt Test and Google Benchmark,\n"
        "which check it and measure it.\n"
        "\n"
        "The Linux serial and pseudo-terminal interfaces,\n"
        "and the Win32 communications functions.\n"
        "\n"
        "The ALDL data stream descriptions that owners\n"
        "and tuners of Holden VN to VS engines have\n"
        "published freely: the 8192 baud line, the\n"
        "mode 1 request and the layout of its reply.\n"
        "\n"
        "Everyone who shares what their ECM says.");
    QPalette cp = memCredits->palette();
    cp.setColor(QPalette::Text, Qt::blue);
    memCredits->setPalette(cp);
    pl->addWidget(memCredits, 1);
    pnlCredits->hide();

    connect(btnCredits, &QPushButton::clicked, this, &TfrmAbout::btnCreditsClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmAbout::btnOKClick);
}

void TfrmAbout::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) CentreOnScreen(this);
}

void TfrmAbout::btnCreditsClick()
{
    if (btnCredits->text() == "&Credits") {
        pnlCredits->show();
        pnlCredits->raise();
        btnCredits->setText("No &Credits");
    } else {
        pnlCredits->hide();
        btnCredits->setText("&Credits");
    }
}

void TfrmAbout::btnOKClick() { accept(); }
