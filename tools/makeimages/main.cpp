// Draws every image of the program's resource bundle with QPainter, so that all pictures are our
// own and can be redrawn at any time. Usage: makeimages <resources/images folder>
// Every image is written as a PNG with 8 bits per channel and an alpha channel.
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <cmath>
#include <functional>

namespace {

const QColor kRed(0xCF, 0x29, 0x1F);
const QColor kDarkRed(0x8C, 0x13, 0x06);
const QColor kOrange(0xF9, 0x9B, 0x20);
const QColor kPaleOrange(0xFE, 0xED, 0xD8);
const QColor kFrameGrey(0x52, 0x52, 0x54);
const QColor kOutline(0x3A, 0x3A, 0x3C);

QString gFamily = QStringLiteral("Liberation Sans");

QFont sans(qreal pixelSize, bool bold = false)
{
    QFont f(gFamily);
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QImage canvas(int w, int h, const QColor& fill = Qt::transparent)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    return img;
}

struct Painter : QPainter {
    explicit Painter(QImage* img) : QPainter(img)
    {
        setRenderHint(QPainter::Antialiasing);
        setRenderHint(QPainter::TextAntialiasing);
        setRenderHint(QPainter::SmoothPixmapTransform);
    }
};

// ---- style images -------------------------------------------------------------------------

QImage checkBox(bool checked)
{
    QImage img = canvas(15, 15);
    Painter p(&img);
    p.setPen(QPen(QColor(0x6E, 0x6E, 0x70), 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(1.5, 1.5, 12, 12), 2, 2);
    if (checked) {
        QPen pen(kRed, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(4.2, 7.6);
        tick.lineTo(6.6, 10.2);
        tick.lineTo(11.0, 4.6);
        p.drawPath(tick);
    }
    return img;
}

QImage radio(bool selected)
{
    QImage img = canvas(15, 15);
    Painter p(&img);
    p.setPen(QPen(QColor(0x6E, 0x6E, 0x70), 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(7.5, 7.5), 6, 6);
    if (selected) {
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QPointF(7.5, 7.5), 3.3, 3.3);
    }
    return img;
}

QImage dropdownArrow(const QColor& colour)
{
    QImage img = canvas(14, 16);
    Painter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QPointF tri[3] = {QPointF(2.5, 6), QPointF(11.5, 6), QPointF(7, 11)};
    p.drawPolygon(tri, 3);
    return img;
}

// ---- document icons (128 x 128, shown on the red EDID tool bar) -------------------------------

// A white sheet with a folded top-right corner; returns the sheet's rectangle.
QRectF page(QPainter& p, const QRectF& r)
{
    const qreal fold = r.width() * 0.28;
    QPainterPath sheet;
    sheet.moveTo(r.left(), r.top());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.right(), r.bottom());
    sheet.lineTo(r.left(), r.bottom());
    sheet.closeSubpath();
    p.setPen(QPen(kOutline, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(0xE6, 0xE8, 0xEC));
    p.setBrush(g);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.setBrush(QColor(0xC8, 0xCC, 0xD2));
    p.drawPath(corner);
    return r;
}

void textLines(QPainter& p, const QRectF& r, int count, const QColor& colour, qreal width = 5)
{
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    const qreal step = r.height() / count;
    for (int i = 0; i < count; ++i) {
        const qreal y = r.top() + step * (i + 0.5);
        const qreal len = (i % 3 == 2) ? r.width() * 0.6 : r.width();
        p.drawLine(QPointF(r.left(), y), QPointF(r.left() + len, y));
    }
}

QImage blankDocument()
{
    QImage img = canvas(128, 128);
    Painter p(&img);
    page(p, QRectF(22, 8, 78, 106));
    // A plus badge marks "new".
    p.setPen(QPen(Qt::white, 4));
    p.setBrush(kOrange);
    p.drawEllipse(QPointF(92, 96), 24, 24);
    p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(92, 84), QPointF(92, 108));
    p.drawLine(QPointF(80, 96), QPointF(104, 96));
    return img;
}

QImage documentOpen()
{
    QImage img = canvas(128, 128);
    Painter p(&img);
    // Back of the folder with its tab.
    QPainterPath back;
    back.moveTo(8, 30);
    back.lineTo(44, 30);
    back.lineTo(52, 40);
    back.lineTo(112, 40);
    back.lineTo(112, 112);
    back.lineTo(8, 112);
    back.closeSubpath();
    p.setPen(QPen(kOutline, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xE0, 0x8A, 0x12));
    p.drawPath(back);
    // A sheet sticking out of the folder.
    page(p, QRectF(30, 12, 62, 70));
    textLines(p, QRectF(38, 36, 44, 30), 3, QColor(0x9A, 0xA0, 0xA8), 4);
    // Front flap, tilted open.
    QPainterPath front;
    front.moveTo(4, 58);
    front.lineTo(100, 58);
    front.lineTo(124, 58);
    front.lineTo(110, 112);
    front.lineTo(8, 112);
    front.closeSubpath();
    QLinearGradient g(0, 58, 0, 112);
    g.setColorAt(0, QColor(0xFF, 0xC9, 0x5A));
    g.setColorAt(1, kOrange);
    p.setPen(QPen(kOutline, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(front);
    return img;
}

QImage save()
{
    QImage img = canvas(128, 128);
    Painter p(&img);
    // Floppy disk body with a cut corner.
    QPainterPath body;
    body.moveTo(12, 12);
    body.lineTo(100, 12);
    body.lineTo(116, 28);
    body.lineTo(116, 116);
    body.lineTo(12, 116);
    body.closeSubpath();
    p.setPen(QPen(kOutline, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0x34, 0x48, 0x66));
    p.drawPath(body);
    // Metal shutter with its window.
    p.setBrush(QColor(0xC9, 0xCE, 0xD6));
    p.drawRect(QRectF(34, 14, 56, 34));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x34, 0x48, 0x66));
    p.drawRect(QRectF(72, 20, 11, 22));
    // Label.
    p.setPen(QPen(kOutline, 3));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(26, 64, 76, 46), 4, 4);
    textLines(p, QRectF(34, 70, 60, 34), 3, kRed, 4);
    return img;
}

void pencil(QPainter& p, const QPointF& tip, qreal angleDeg, qreal length, qreal width)
{
    p.save();
    p.translate(tip);
    p.rotate(angleDeg);
    const qreal w2 = width / 2;
    const qreal cone = width * 1.1;
    p.setPen(QPen(kOutline, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // Wooden cone and graphite point.
    QPainterPath wood;
    wood.moveTo(0, 0);
    wood.lineTo(cone, -w2);
    wood.lineTo(cone, w2);
    wood.closeSubpath();
    p.setBrush(QColor(0xF3, 0xD6, 0xA4));
    p.drawPath(wood);
    p.setBrush(kOutline);
    p.drawEllipse(QPointF(cone * 0.18, 0), cone * 0.12, cone * 0.12);
    // Body, ferrule and eraser.
    p.setBrush(QColor(0xFF, 0xC2, 0x1A));
    p.drawRect(QRectF(cone, -w2, length - cone - width * 1.4, width));
    p.setBrush(QColor(0xB8, 0xBE, 0xC6));
    p.drawRect(QRectF(length - width * 1.4, -w2, width * 0.55, width));
    p.setBrush(QColor(0xF2, 0x8C, 0x9C));
    p.drawRoundedRect(QRectF(length - width * 0.85, -w2, width * 0.85, width), 4, 4);
    p.restore();
}

QImage edit()
{
    QImage img = canvas(128, 128);
    Painter p(&img);
    page(p, QRectF(14, 8, 78, 106));
    textLines(p, QRectF(24, 40, 56, 60), 5, QColor(0x9A, 0xA0, 0xA8), 5);
    pencil(p, QPointF(52, 102), -48, 88, 20);
    return img;
}

QImage viewText()
{
    QImage img = canvas(128, 128);
    Painter p(&img);
    page(p, QRectF(14, 8, 78, 106));
    textLines(p, QRectF(24, 36, 56, 66), 6, QColor(0x9A, 0xA0, 0xA8), 5);
    // Magnifying glass over the text.
    p.setPen(QPen(kOutline, 12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(96, 96), QPointF(118, 118));
    p.setPen(QPen(kOutline, 6));
    QRadialGradient lens(QPointF(76, 76), 26);
    lens.setColorAt(0, QColor(0xDD, 0xF0, 0xFF, 230));
    lens.setColorAt(1, QColor(0xA6, 0xD2, 0xF5, 230));
    p.setBrush(lens);
    p.drawEllipse(QPointF(80, 80), 24, 24);
    return img;
}

void downArrow(QPainter& p, const QPointF& top, qreal height, qreal width, const QColor& fill)
{
    const qreal shaft = width * 0.42;
    const qreal head = height * 0.5;
    QPainterPath a;
    a.moveTo(top.x() - shaft / 2, top.y());
    a.lineTo(top.x() + shaft / 2, top.y());
    a.lineTo(top.x() + shaft / 2, top.y() + height - head);
    a.lineTo(top.x() + width / 2, top.y() + height - head);
    a.lineTo(top.x(), top.y() + height);
    a.lineTo(top.x() - width / 2, top.y() + height - head);
    a.lineTo(top.x() - shaft / 2, top.y() + height - head);
    a.closeSubpath();
    p.setPen(QPen(kOutline, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(a);
}

QImage saveAsText()
{
    QImage img = canvas(128, 128);
    Painter p(&img);
    page(p, QRectF(10, 6, 80, 108));
    p.setPen(kRed);
    p.setFont(sans(24, true));
    p.drawText(QRectF(10, 44, 80, 32), Qt::AlignCenter, QStringLiteral("TXT"));
    textLines(p, QRectF(20, 80, 58, 24), 2, QColor(0x9A, 0xA0, 0xA8), 4);
    downArrow(p, QPointF(100, 58), 62, 40, QColor(0x2E, 0xA8, 0x4E));
    return img;
}

QImage showDiff()
{
    QImage img = canvas(32, 32);
    Painter p(&img);
    // Two columns of text with the changed line marked, as the comparison shows them.
    for (int side = 0; side < 2; ++side) {
        const QRectF r(1.5 + side * 15, 3.5, 14, 25);
        p.setPen(QPen(kOutline, 1));
        p.setBrush(Qt::white);
        p.drawRect(r);
        p.setPen(Qt::NoPen);
        p.setBrush(side == 0 ? QColor(0xF2, 0x6D, 0x64) : QColor(0x4C, 0xC0, 0x6A));
        p.drawRect(QRectF(r.left() + 1, 13, r.width() - 1.5, 6));
        p.setPen(QPen(QColor(0x80, 0x86, 0x8E), 1.5));
        for (int y : {8, 16, 23})
            p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
    }
    return img;
}

QImage exitDoor()
{
    QImage img = canvas(128, 128);
    Painter p(&img);
    // Door frame and an open door.
    p.setPen(QPen(kOutline, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(0xF1, 0xF1, 0xF1));
    p.drawRect(QRectF(14, 10, 64, 108));
    QPainterPath door;
    door.moveTo(14, 10);
    door.lineTo(54, 22);
    door.lineTo(54, 112);
    door.lineTo(14, 118);
    door.closeSubpath();
    p.setBrush(QColor(0x9A, 0x5B, 0x2E));
    p.drawPath(door);
    p.setBrush(QColor(0xFF, 0xD0, 0x40));
    p.drawEllipse(QPointF(46, 68), 4, 4);
    // Arrow leaving through the door.
    QPainterPath arrow;
    arrow.moveTo(62, 56);
    arrow.lineTo(92, 56);
    arrow.lineTo(92, 40);
    arrow.lineTo(122, 68);
    arrow.lineTo(92, 96);
    arrow.lineTo(92, 80);
    arrow.lineTo(62, 80);
    arrow.closeSubpath();
    p.setPen(QPen(kOutline, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    return img;
}

// ---- arrows (48 x 48, on red tool buttons and pale orange push buttons) ------------------------

QImage sideArrow(bool left)
{
    QImage img = canvas(48, 48);
    Painter p(&img);
    if (left) {
        p.translate(48, 0);
        p.scale(-1, 1);
    }
    QPainterPath a;
    a.moveTo(6, 18);
    a.lineTo(24, 18);
    a.lineTo(24, 6);
    a.lineTo(43, 24);
    a.lineTo(24, 42);
    a.lineTo(24, 30);
    a.lineTo(6, 30);
    a.closeSubpath();
    p.setPen(QPen(kOutline, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient g(0, 6, 0, 42);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(0xDD, 0xE1, 0xE6));
    p.setBrush(g);
    p.drawPath(a);
    return img;
}

// The undo shape: a shaft that leaves the head to the right and bends back down in a half circle.
// Undo all carries two heads in a row, like a rewind sign.
QImage undoShape(int heads)
{
    QImage img = canvas(48, 48);
    Painter p(&img);
    const qreal thick = 7;
    const qreal headLen = 11;
    const qreal headX = heads == 1 ? 5 : 3;
    const qreal shaftY = 15;
    const qreal tipEnd = headX + headLen * heads;
    QPainterPath shaft;
    shaft.moveTo(tipEnd - 2, shaftY);
    shaft.lineTo(30, shaftY);
    shaft.arcTo(QRectF(19, shaftY, 24, 24), 90, -180);
    shaft.lineTo(16, shaftY + 24);
    QPainterPathStroker stroker;
    stroker.setWidth(thick);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath shape = stroker.createStroke(shaft);
    for (int i = 0; i < heads; ++i) {
        const qreal x = headX + headLen * i;
        QPainterPath head;
        head.moveTo(x, shaftY);
        head.lineTo(x + headLen + 2, shaftY - 10);
        head.lineTo(x + headLen + 2, shaftY + 10);
        head.closeSubpath();
        shape = shape.united(head);
    }
    p.setPen(QPen(kOutline, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient g(0, 4, 0, 44);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(0xDD, 0xE1, 0xE6));
    p.setBrush(g);
    p.drawPath(shape.simplified());
    return img;
}

QImage undoAll()
{
    return undoShape(2);
}

// ---- logo and bar -----------------------------------------------------------------------------

QImage logo()
{
    QImage img = canvas(433, 200);
    Painter p(&img);
    // Mark: a red rounded square with one source fanning out to three outputs.
    const QRectF mark(14, 52, 96, 96);
    p.setPen(Qt::NoPen);
    QLinearGradient g(mark.topLeft(), mark.bottomLeft());
    g.setColorAt(0, QColor(0xE4, 0x3A, 0x2E));
    g.setColorAt(1, kRed);
    p.setBrush(g);
    p.drawRoundedRect(mark, 18, 18);
    const QPointF source(mark.left() + 26, mark.center().y());
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = -1; i <= 1; ++i) {
        const QPointF out(mark.right() - 20, mark.center().y() + i * 26);
        QPainterPath link;
        link.moveTo(source);
        link.cubicTo(QPointF(source.x() + 28, source.y()), QPointF(out.x() - 30, out.y()), out);
        p.drawPath(link);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(source, 11, 11);
    for (int i = -1; i <= 1; ++i)
        p.drawEllipse(QPointF(mark.right() - 18, mark.center().y() + i * 26), 7, 7);
    // Name.
    p.setPen(kFrameGrey);
    p.setFont(sans(40, true));
    p.drawText(QRectF(126, 44, 300, 46), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmo"));
    p.setPen(kRed);
    QFont big = sans(66, true);
    big.setLetterSpacing(QFont::AbsoluteSpacing, -1);
    p.setFont(big);
    p.drawText(QRectF(122, 84, 310, 72), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Plexa-T"));
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawRoundedRect(QRectF(126, 160, 292, 6), 3, 3);
    return img;
}

// Backdrop of the update page's progress bars: a dark capsule with a groove for the bar and a
// field on the right for the white percentage text.
QImage barPicture()
{
    QImage img = canvas(360, 33);
    Painter p(&img);
    QLinearGradient g(0, 0, 0, 33);
    g.setColorAt(0, QColor(0x70, 0x70, 0x73));
    g.setColorAt(0.5, QColor(0x55, 0x55, 0x58));
    g.setColorAt(1, QColor(0x3C, 0x3C, 0x3F));
    p.setPen(QPen(QColor(0x2A, 0x2A, 0x2C), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 359, 32), 10, 10);
    p.setPen(QPen(QColor(0x8A, 0x8A, 0x8D), 1));
    p.setBrush(QColor(0x33, 0x33, 0x35));
    p.drawRoundedRect(QRectF(16.5, 8.5, 266, 16), 6, 6);
    p.drawRoundedRect(QRectF(298.5, 4.5, 56, 24), 6, 6);
    return img;
}

// ---- test patterns (621 x 351) ----------------------------------------------------------------

const int kPatW = 621;
const int kPatH = 351;

QImage patternWhite()
{
    return canvas(kPatW, kPatH, Qt::white);
}

QImage patternCross()
{
    QImage img = canvas(kPatW, kPatH, Qt::black);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    // Border and centre cross, 3 pixels wide, with small ticks on the cross.
    p.drawRect(0, 0, kPatW, 3);
    p.drawRect(0, kPatH - 3, kPatW, 3);
    p.drawRect(0, 0, 3, kPatH);
    p.drawRect(kPatW - 3, 0, 3, kPatH);
    p.drawRect(kPatW / 2 - 1, 0, 3, kPatH);
    p.drawRect(0, kPatH / 2 - 1, kPatW, 3);
    for (int x = kPatW / 2 % 40; x < kPatW; x += 40)
        p.drawRect(x, kPatH / 2 - 7, 1, 15);
    for (int y = kPatH / 2 % 40; y < kPatH; y += 40)
        p.drawRect(kPatW / 2 - 7, y, 15, 1);
    return img;
}

QImage patternHatch()
{
    QImage img = canvas(kPatW, kPatH, Qt::black);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    // A 16 x 9 grid of 2-pixel lines, edges included.
    for (int i = 0; i <= 16; ++i) {
        const int x = qMin(kPatW - 2, i * (kPatW - 2) / 16);
        p.drawRect(x, 0, 2, kPatH);
    }
    for (int j = 0; j <= 9; ++j) {
        const int y = qMin(kPatH - 2, j * (kPatH - 2) / 9);
        p.drawRect(0, y, kPatW, 2);
    }
    return img;
}

QImage patternColour()
{
    QImage img = canvas(kPatW, kPatH, Qt::black);
    QPainter p(&img);
    const QColor bars[8] = {Qt::white, Qt::yellow, Qt::cyan, Qt::green, Qt::magenta, Qt::red, Qt::blue, Qt::black};
    for (int i = 0; i < 8; ++i) {
        const int x0 = i * kPatW / 8;
        const int x1 = (i + 1) * kPatW / 8;
        p.fillRect(x0, 0, x1 - x0, kPatH, bars[i]);
    }
    return img;
}

QImage patternGray()
{
    QImage img = canvas(kPatW, kPatH, Qt::black);
    QPainter p(&img);
    const int steps = 11; // 0 %, 10 % ... 100 %
    for (int i = 0; i < steps; ++i) {
        const int x0 = i * kPatW / steps;
        const int x1 = (i + 1) * kPatW / steps;
        const int v = qRound(255.0 * i / (steps - 1));
        p.fillRect(x0, 0, x1 - x0, kPatH, QColor(v, v, v));
    }
    return img;
}

QImage patternWindow()
{
    QImage img = canvas(kPatW, kPatH, Qt::black);
    QPainter p(&img);
    // A white window over the middle half of each dimension.
    p.fillRect(QRect(kPatW / 4, kPatH / 4, kPatW / 2, kPatH / 2 + 1), Qt::white);
    return img;
}

// ---- HDBaseT chart backgrounds ----------------------------------------------------------------

// A quiet backdrop for a 0 to 100 % plot: the good zone faintly green, the poor zone faintly red,
// light lines at every 20 % and the plot's name as a watermark.
QImage chart(int w, int h, bool goodOnTop, const QString& title)
{
    QImage img = canvas(w, h, Qt::white);
    Painter p(&img);
    const QColor good(0xE9, 0xF6, 0xEC);
    const QColor poor(0xFB, 0xE6, 0xE4);
    const int zone = h / 5;
    p.fillRect(QRect(0, 0, w, h), good);
    if (goodOnTop)
        p.fillRect(QRect(0, h - zone, w, zone), poor);
    else
        p.fillRect(QRect(0, 0, w, zone), poor);
    p.setPen(QPen(QColor(0xD4, 0xD7, 0xDB), 1, Qt::DashLine));
    for (int i = 1; i < 5; ++i) {
        const qreal y = h * i / 5.0 + 0.5;
        p.drawLine(QPointF(0, y), QPointF(w, y));
    }
    for (int x = 60; x < w; x += 60)
        p.drawLine(QPointF(x + 0.5, 0), QPointF(x + 0.5, h));
    p.setPen(QColor(0, 0, 0, 28));
    p.setFont(sans(30, true));
    p.drawText(QRectF(0, 0, w, h), Qt::AlignCenter, title);
    return img;
}

// ---- cable wiring pictures (350 x 200) --------------------------------------------------------

struct Wire {
    QColor colour;
    bool striped; // white with a coloured stripe
    const char* label;
};

const QColor kGreen(0x1E, 0x9E, 0x48);
const QColor kWireOrange(0xF0, 0x84, 0x1A);
const QColor kBlue(0x1F, 0x5F, 0xBF);
const QColor kBrown(0x7B, 0x4A, 0x25);

QImage wiring(const QString& standard, const Wire (&wires)[8])
{
    QImage img = canvas(350, 200, Qt::white);
    Painter p(&img);
    p.setPen(kOutline);
    p.setFont(sans(18, true));
    p.drawText(QRectF(10, 4, 330, 26), Qt::AlignLeft | Qt::AlignVCenter, standard);

    const qreal pitch = 30;
    const qreal wireW = 20;
    const qreal x0 = 175 - pitch * 3.5;
    // Plug body seen from the front, contacts on top.
    const QRectF plug(x0 - 24, 46, pitch * 7 + 48, 62);
    p.setPen(QPen(kOutline, 2));
    p.setBrush(QColor(0xEE, 0xF2, 0xF6));
    p.drawRoundedRect(plug, 6, 6);
    for (int i = 0; i < 8; ++i) {
        const qreal cx = x0 + pitch * i;
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(0xE8, 0xC0, 0x4A));
        p.drawRect(QRectF(cx - 4, plug.top() + 4, 8, 14));
        p.setPen(kOutline);
        p.setFont(sans(12, true));
        p.drawText(QRectF(cx - 12, 30, 24, 16), Qt::AlignCenter, QString::number(i + 1));
    }
    // The eight wires, from the contacts down out of the plug.
    const qreal top = plug.top() + 22;
    const qreal bottom = 170;
    for (int i = 0; i < 8; ++i) {
        const Wire& w = wires[i];
        const QRectF r(x0 + pitch * i - wireW / 2, top, wireW, bottom - top);
        p.setPen(Qt::NoPen);
        p.setBrush(w.striped ? QColor(Qt::white) : w.colour);
        p.drawRect(r);
        if (w.striped) {
            p.save();
            p.setClipRect(r);
            p.setPen(QPen(w.colour, 6));
            for (qreal y = r.top() - wireW; y < r.bottom() + wireW; y += 16)
                p.drawLine(QPointF(r.left(), y + wireW), QPointF(r.right(), y));
            p.restore();
        }
        p.setPen(QPen(kOutline, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
        p.setPen(kOutline);
        p.setFont(sans(10, true));
        p.drawText(QRectF(r.center().x() - 15, bottom + 6, 30, 16), Qt::AlignCenter, QString::fromLatin1(w.label));
    }
    // The plug outline is drawn again over the wires, so they visibly leave its lower edge.
    p.setPen(QPen(kOutline, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(plug, 6, 6);
    return img;
}

QImage wiring568A()
{
    static const Wire wires[8] = {
        {kGreen, true, "W/G"}, {kGreen, false, "G"},     {kWireOrange, true, "W/O"}, {kBlue, false, "B"},
        {kBlue, true, "W/B"},  {kWireOrange, false, "O"}, {kBrown, true, "W/Br"},      {kBrown, false, "Br"}};
    return wiring(QStringLiteral("T-568A"), wires);
}

QImage wiring568B()
{
    static const Wire wires[8] = {
        {kWireOrange, true, "W/O"}, {kWireOrange, false, "O"}, {kGreen, true, "W/G"}, {kBlue, false, "B"},
        {kBlue, true, "W/B"},       {kGreen, false, "G"},      {kBrown, true, "W/Br"}, {kBrown, false, "Br"}};
    return wiring(QStringLiteral("T-568B"), wires);
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: makeimages <resources/images folder>\n";
        return 2;
    }
    for (const char* file : {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf"}) {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/truetype/liberation/") + QString::fromLatin1(file));
        if (id >= 0)
            gFamily = QFontDatabase::applicationFontFamilies(id).value(0, gFamily);
    }

    const QDir root(QString::fromLocal8Bit(argv[1]));
    struct Item {
        const char* path;
        QSize size;
        std::function<QImage()> draw;
    };
    const QList<Item> items = {
        {"Assets/Style/Checked.png", {15, 15}, [] { return checkBox(true); }},
        {"Assets/Style/Unchecked.png", {15, 15}, [] { return checkBox(false); }},
        {"Assets/Style/RadioSelected.png", {15, 15}, [] { return radio(true); }},
        {"Assets/Style/RadioDeselected.png", {15, 15}, [] { return radio(false); }},
        {"Assets/Style/DropdownArrowEnabled.png", {14, 16}, [] { return dropdownArrow(QColor(0x40, 0x40, 0x42)); }},
        {"Assets/Style/DropdownArrow.png", {14, 16}, [] { return dropdownArrow(QColor(0xB0, 0xB0, 0xB0)); }},
        {"Assets/EDID/BlankDocument.png", {128, 128}, blankDocument},
        {"Assets/EDID/DocumentOpen.png", {128, 128}, documentOpen},
        {"Assets/EDID/Save.png", {128, 128}, save},
        {"Assets/EDID/Edit.png", {128, 128}, edit},
        {"Assets/EDID/ViewText.png", {128, 128}, viewText},
        {"Assets/EDID/SaveAsText.png", {128, 128}, saveAsText},
        {"Assets/EDID/ShowDiff.png", {32, 32}, showDiff},
        {"Assets/EDID/Exit.png", {128, 128}, exitDoor},
        {"Assets/UndoAll.png", {48, 48}, undoAll},
        {"Assets/LeftArrow.png", {48, 48}, [] { return sideArrow(true); }},
        {"Assets/RightArrow.png", {48, 48}, [] { return sideArrow(false); }},
        {"Assets/Plexa_T_Logo.png", {433, 200}, logo},
        {"Assets/barpicture.PNG", {360, 33}, barPicture},
        {"Assets/Tirel_Patterns/Tirel_Pattern_White.png", {kPatW, kPatH}, patternWhite},
        {"Assets/Tirel_Patterns/Tirel_Pattern_Cross.png", {kPatW, kPatH}, patternCross},
        {"Assets/Tirel_Patterns/Tirel_Pattern_Hatch.png", {kPatW, kPatH}, patternHatch},
        {"Assets/Tirel_Patterns/Tirel_Pattern_Color.png", {kPatW, kPatH}, patternColour},
        {"Assets/Tirel_Patterns/Tirel_Pattern_Gray.png", {kPatW, kPatH}, patternGray},
        {"Assets/Tirel_Patterns/Tirel_Pattern_Window.png", {kPatW, kPatH}, patternWindow},
        {"Assets/qualitylink.png", {428, 113}, [] { return chart(428, 113, true, QStringLiteral("Link Quality")); }},
        {"Assets/errrate.png", {427, 112}, [] { return chart(427, 112, false, QStringLiteral("Error Rate")); }},
        {"Assets/HDBaseT/HDBT_Status_568A.png", {350, 200}, wiring568A},
        {"Assets/HDBaseT/HDBT_Status_568B.png", {350, 200}, wiring568B},
    };

    int failures = 0;
    for (const Item& item : items) {
        const QString path = root.filePath(QString::fromLatin1(item.path));
        QImage img = item.draw().convertToFormat(QImage::Format_ARGB32);
        if (img.size() != item.size) {
            QTextStream(stderr) << path << ": drawn at the wrong size\n";
            ++failures;
            continue;
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        // Format_ARGB32 makes Qt's writer produce 8-bit RGBA (colour type 6) even for opaque images.
        if (!img.save(path, "PNG", 0)) {
            QTextStream(stderr) << path << ": cannot write\n";
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
