// Draws an 80 by 80 icon for every entity of a game entity file, and the open door picture,
// into a folder:  icongen ENTITIES_XML ICON_FOLDER
//
// The editor shows icons at half size, so every picture is a plain silhouette with a thick
// outline that still reads at 40 pixels. Each family of entities has its own shape and colour;
// variants and subtypes shift the colour. Icons are named type.variant.png, or
// type.variant.subtype.png when the subtype is not 0.

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextStream>
#include <QtMath>

#include <pugixml.hpp>

#include <functional>

namespace {

const QColor Ink(28, 22, 18);
const QColor Gold(236, 190, 60);
const QColor Stone(150, 146, 136);
const QColor Wood(138, 92, 52);

// Draws one picture in the 80 by 80 square; detail tells variants of a family apart.
using Draw = std::function<void(QPainter&, const QColor&, int detail)>;

QColor shifted(const QColor& base, int steps) {
    return QColor::fromHsv((base.hsvHue() + steps * 47) % 360, base.hsvSaturation(), base.value());
}

void ink(QPainter& p, const QColor& fill, qreal width = 3.5) {
    p.setPen(QPen(Ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
}

void eyes(QPainter& p, QPointF left, QPointF right, qreal radius,
          const QColor& colour = Qt::white) {
    ink(p, colour, 2);
    p.drawEllipse(left, radius, radius);
    p.drawEllipse(right, radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawEllipse(left + QPointF(0, radius / 4), radius / 2, radius / 2);
    p.drawEllipse(right + QPointF(0, radius / 4), radius / 2, radius / 2);
}

QPolygonF polygon(std::initializer_list<QPointF> points) {
    return QPolygonF(points);
}

// Pickups

void heart(QPainter& p, const QColor& c, int detail) {
    auto shape = [](qreal x, qreal y, qreal s) {
        QPainterPath path(QPointF(x, y + 0.9 * s));
        path.cubicTo(x - 1.3 * s, y, x - 0.9 * s, y - 0.9 * s, x, y - 0.35 * s);
        path.cubicTo(x + 0.9 * s, y - 0.9 * s, x + 1.3 * s, y, x, y + 0.9 * s);
        return path;
    };
    if (detail == 4 || detail == 5) { // petals
        QPainterPath petal(QPointF(40, 12));
        petal.cubicTo(70, 34, 60, 68, 40, 68);
        petal.cubicTo(20, 68, 10, 34, 40, 12);
        ink(p, detail == 4 ? QColor(110, 160, 235) : QColor(240, 120, 40));
        p.drawPath(petal);
        p.drawLine(QPointF(40, 30), QPointF(40, 60));
        return;
    }
    ink(p, c);
    if (detail == 3) {
        p.drawPath(shape(28, 38, 20));
        p.drawPath(shape(52, 46, 20));
        return;
    }
    p.drawPath(shape(40, 42, 30));
    if (detail == 2) { // half: the right half is empty
        p.setClipRect(40, 0, 40, 80);
        ink(p, QColor(70, 30, 30));
        p.drawPath(shape(40, 42, 30));
        p.setClipping(false);
    }
}

void coin(QPainter& p, const QColor& c, int detail) {
    if (detail == 4) { // pouch
        ink(p, Wood);
        p.drawPath([] {
            QPainterPath bag(QPointF(30, 22));
            bag.cubicTo(6, 50, 14, 70, 40, 70);
            bag.cubicTo(66, 70, 74, 50, 50, 22);
            bag.closeSubpath();
            return bag;
        }());
        ink(p, Gold, 2.5);
        p.drawEllipse(QPointF(40, 50), 9, 9);
        p.drawLine(QPointF(28, 20), QPointF(52, 20));
        return;
    }
    const QColor face = detail == 3 ? QColor(200, 210, 230) : detail == 2 ? c.lighter(125) : c;
    ink(p, face);
    p.drawEllipse(QPointF(40, 40), 28, 28);
    ink(p, face.darker(115), 2.5);
    if (detail == 3) { // a crescent stamped into the coin
        p.drawPie(QRectF(24, 24, 32, 32), 90 * 16, 180 * 16);
        return;
    }
    p.drawEllipse(QPointF(40, 40), 18, 18);
    if (detail == 2) {
        ink(p, Qt::white, 0);
        p.drawPolygon(polygon(
            {{40, 28}, {43, 37}, {52, 40}, {43, 43}, {40, 52}, {37, 43}, {28, 40}, {37, 37}}));
    }
}

void key(QPainter& p, const QColor& c, int detail) {
    auto one = [&](qreal dx, qreal dy, const QColor& colour) {
        ink(p, colour);
        p.drawRoundedRect(QRectF(34 + dx, 26 + dy, 9, 44), 3, 3);
        p.drawRect(QRectF(43 + dx, 56 + dy, 10, 6));
        p.drawRect(QRectF(43 + dx, 46 + dy, 7, 6));
        p.drawEllipse(QPointF(38.5 + dx, 20 + dy), 12, 12);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(38.5 + dx, 20 + dy), 5, 5);
    };
    if (detail == 3) {
        one(-12, 2, c);
        one(10, 0, c.lighter(120));
        return;
    }
    one(0, 2, detail == 2 ? Gold : c);
}

void keg(QPainter& p, const QColor& c, int detail) {
    auto barrel = [&](qreal x, qreal w, const QColor& colour) {
        ink(p, colour);
        p.drawRoundedRect(QRectF(x, 26, w, 44), 12, 12);
        ink(p, Ink.lighter(250), 3);
        p.drawLine(QPointF(x + 2, 38), QPointF(x + w - 2, 38));
        p.drawLine(QPointF(x + 2, 58), QPointF(x + w - 2, 58));
        ink(p, QColor(240, 200, 80), 2.5);
        p.drawLine(QPointF(x + w / 2, 26), QPointF(x + w / 2 + 4, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 120, 30));
        p.drawEllipse(QPointF(x + w / 2 + 5, 12), 5, 5);
    };
    const QColor body = detail == 3 ? QColor(190, 60, 40) : c;
    if (detail == 2) {
        barrel(8, 30, body);
        barrel(42, 30, body.darker(110));
        return;
    }
    barrel(20, 40, body);
}

void chest(QPainter& p, const QColor& c, int variant) {
    if (variant == 54) { // satchel
        ink(p, c);
        p.drawRoundedRect(QRectF(12, 30, 56, 38), 10, 10);
        p.drawChord(QRectF(12, 18, 56, 30), 0, 180 * 16);
        ink(p, Gold, 2.5);
        p.drawRect(QRectF(36, 40, 8, 8));
        return;
    }
    ink(p, c);
    p.drawRect(QRectF(12, 38, 56, 30));
    p.drawChord(QRectF(12, 20, 56, 36), 0, 180 * 16);
    ink(p, variant == 52 ? QColor(60, 60, 70) : Gold, 2.5);
    p.drawRect(QRectF(34, 34, 12, 14));
    if (variant == 51) { // barbs along the lid
        ink(p, Stone.lighter(120), 2);
        for (int x = 16; x < 64; x += 12)
            p.drawPolygon(polygon({{qreal(x), 30}, {x + 6.0, 16}, {x + 12.0, 30}}));
    }
    if (variant == 53) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(80, 150, 60));
        p.drawEllipse(QPointF(20, 62), 9, 6);
        p.drawEllipse(QPointF(58, 40), 8, 5);
    }
}

void bottle(QPainter& p, const QColor& liquid, bool flame) {
    QPainterPath glass(QPointF(33, 12));
    glass.lineTo(47, 12);
    glass.lineTo(47, 30);
    glass.cubicTo(68, 38, 66, 70, 40, 70);
    glass.cubicTo(14, 70, 12, 38, 33, 30);
    glass.closeSubpath();
    ink(p, QColor(220, 235, 240, 200));
    p.drawPath(glass);
    p.setClipPath(glass);
    p.fillRect(QRectF(0, 44, 80, 36), liquid);
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.drawPath(glass);
    ink(p, Wood, 2.5);
    p.drawRect(QRectF(31, 6, 18, 8));
    if (flame) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 200, 60));
        p.drawEllipse(QPointF(40, 56), 6, 9);
    }
}

void tincture(QPainter& p, const QColor& c, int detail) {
    bottle(p, shifted(c, detail), false);
}

void lampOil(QPainter& p, const QColor& c, int detail) {
    bottle(p, detail == 2 ? c.darker(130) : c, true);
}

void relic(QPainter& p, const QColor& c, int detail) {
    ink(p, Stone);
    p.drawPolygon(polygon({{18, 72}, {62, 72}, {56, 60}, {24, 60}}));
    p.drawRect(QRectF(30, 46, 20, 14));
    const QColor gem = detail == 0 ? QColor(240, 240, 240) : shifted(c, detail);
    ink(p, gem);
    p.drawPolygon(polygon({{40, 6}, {56, 22}, {40, 44}, {24, 22}}));
    ink(p, gem.darker(130), 2);
    p.drawLine(QPointF(24, 22), QPointF(56, 22));
    if (detail == 0) // any relic: a plain white gem split down the middle
        p.drawLine(QPointF(40, 6), QPointF(40, 44));
}

void rune(QPainter& p, const QColor& c, int detail) {
    ink(p, c);
    p.drawRoundedRect(QRectF(16, 8, 48, 64), 10, 10);
    ink(p, QColor(250, 235, 170), 4);
    // Every subtype carves its own strokes from a small set.
    const QLineF strokes[] = {{40, 18, 40, 62}, {26, 24, 54, 56}, {54, 24, 26, 56},
                              {26, 40, 54, 40}, {28, 22, 52, 22}, {28, 58, 52, 58}};
    p.drawLine(strokes[0]);
    for (int bit = 0; bit < 5; ++bit) {
        if ((detail + 1) & (1 << bit))
            p.drawLine(strokes[bit + 1]);
    }
}

void charm(QPainter& p, const QColor& c, int detail) {
    ink(p, Wood, 2.5);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(polygon({{18, 8}, {40, 38}, {62, 8}}));
    const QColor stone = shifted(c, detail);
    ink(p, stone);
    if (detail % 2)
        p.drawEllipse(QPointF(40, 52), 18, 18);
    else
        p.drawPolygon(polygon({{40, 32}, {58, 52}, {40, 72}, {22, 52}}));
    ink(p, stone.lighter(150), 2);
    p.drawEllipse(QPointF(40, 52), 5, 5);
}

// Contraptions

void contraption(QPainter& p, const QColor& c, int variant) {
    ink(p, Stone.darker(110));
    p.drawRect(QRectF(14, 46, 52, 26));
    ink(p, shifted(c, variant));
    switch (variant) {
    case 1: // well
        p.drawEllipse(QPointF(40, 48), 24, 8);
        p.drawPolygon(polygon({{14, 24}, {40, 6}, {66, 24}}));
        p.drawLine(QPointF(20, 24), QPointF(20, 44));
        p.drawLine(QPointF(60, 24), QPointF(60, 44));
        break;
    case 2: // dice
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(16, 20, 22, 22), 4, 4);
        p.drawRoundedRect(QRectF(42, 16, 22, 22), 4, 4);
        break;
    case 4: // shrine
        p.drawPolygon(polygon({{24, 46}, {40, 6}, {56, 46}}));
        break;
    case 5: // peddler's tent
        p.drawPolygon(polygon({{10, 48}, {40, 10}, {70, 48}}));
        ink(p, Ink, 0);
        p.drawPolygon(polygon({{34, 48}, {40, 30}, {46, 48}}));
        break;
    default: // reed, press and box: a dome with a slot
        p.drawChord(QRectF(18, 14, 44, 56), 0, 180 * 16);
        ink(p, Gold, 2.5);
        p.drawLine(QPointF(32, 32), QPointF(48, 32));
        break;
    }
}

// Creatures

void imp(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawPolygon(polygon({{18, 30}, {12, 8}, {32, 20}}));
    p.drawPolygon(polygon({{62, 30}, {68, 8}, {48, 20}}));
    p.drawEllipse(QPointF(40, 44), 28, 26);
    eyes(p, {30, 40}, {50, 40}, 7);
    ink(p, Ink, 2.5);
    p.drawArc(QRectF(30, 48, 20, 12), 200 * 16, 140 * 16);
}

void crawler(QPainter& p, const QColor& c, int) {
    ink(p, c.darker(130), 4);
    for (int i = 0; i < 3; ++i) {
        const qreal y = 34 + i * 12;
        p.drawLine(QPointF(26, y), QPointF(8, y + 8));
        p.drawLine(QPointF(54, y), QPointF(72, y + 8));
    }
    ink(p, c);
    p.drawEllipse(QPointF(40, 44), 22, 26);
    eyes(p, {33, 30}, {47, 30}, 6);
}

void flyer(QPainter& p, const QColor& c, int) {
    QColor wing = c.lighter(150);
    wing.setAlpha(220);
    ink(p, wing, 2.5);
    p.drawEllipse(QRectF(4, 12, 34, 30));
    p.drawEllipse(QRectF(42, 12, 34, 30));
    ink(p, c);
    p.drawEllipse(QPointF(40, 46), 16, 22);
    eyes(p, {34, 40}, {46, 40}, 5, QColor(250, 60, 40));
}

void bird(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawEllipse(QPointF(36, 46), 26, 22);
    ink(p, Gold);
    p.drawPolygon(polygon({{58, 36}, {76, 44}, {58, 50}}));
    ink(p, c.darker(140), 3);
    p.drawChord(QRectF(14, 40, 36, 26), 0, 180 * 16);
    eyes(p, {46, 36}, {56, 34}, 4, QColor(250, 220, 60));
}

void spirit(QPainter& p, const QColor& c, int) {
    QPainterPath ghost(QPointF(14, 70));
    ghost.lineTo(14, 36);
    ghost.cubicTo(14, 0, 66, 0, 66, 36);
    ghost.lineTo(66, 70);
    for (int i = 0; i < 4; ++i)
        ghost.quadTo(59.5 - 13 * i, 60, 53 - 13 * i, 70);
    ghost.closeSubpath();
    QColor body = c.lighter(140);
    body.setAlpha(230);
    ink(p, body);
    p.drawPath(ghost);
    ink(p, Ink, 0);
    p.drawEllipse(QPointF(30, 34), 6, 9);
    p.drawEllipse(QPointF(50, 34), 6, 9);
    p.drawEllipse(QPointF(40, 54), 5, 7);
}

void blob(QPainter& p, const QColor& c, int detail) {
    const qreal grow = detail == 1 ? 6 : 0;
    QPainterPath dome(QPointF(8 - grow, 70));
    dome.cubicTo(8 - grow, 14 - grow, 72 + grow, 14 - grow, 72 + grow, 70);
    dome.closeSubpath();
    ink(p, c);
    p.drawPath(dome);
    eyes(p, {30, 44}, {50, 44}, 7);
    p.setPen(Qt::NoPen);
    p.setBrush(c.lighter(140));
    p.drawEllipse(QPointF(24, 28), 6, 4);
}

void mushroom(QPainter& p, const QColor& c, int detail) {
    ink(p, QColor(235, 225, 200));
    p.drawRoundedRect(QRectF(30, detail ? 28 : 40, 20, detail ? 44 : 32), 6, 6);
    ink(p, c);
    p.drawChord(QRectF(8, detail ? 6 : 14, 64, 48), 0, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(28, detail ? 20 : 28), 5, 5);
    p.drawEllipse(QPointF(48, detail ? 16 : 24), 6, 6);
    eyes(p, {35, 58}, {45, 58}, 3.5);
}

void toad(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawEllipse(QPointF(40, 50), 32, 20);
    p.drawEllipse(QPointF(24, 30), 10, 10);
    p.drawEllipse(QPointF(56, 30), 10, 10);
    eyes(p, {24, 30}, {56, 30}, 6, QColor(250, 220, 80));
    ink(p, Ink, 2.5);
    p.drawArc(QRectF(20, 44, 40, 14), 200 * 16, 140 * 16);
}

void worm(QPainter& p, const QColor& c, int) {
    const QPointF segments[] = {{62, 64}, {52, 54}, {42, 46}, {32, 38}, {24, 28}};
    for (int i = 0; i < 5; ++i) {
        ink(p, i % 2 ? c : c.darker(115));
        p.drawEllipse(segments[i], 10 + i * 1.5, 10 + i * 1.5);
    }
    eyes(p, {19, 24}, {29, 22}, 4);
}

void robed(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawPolygon(polygon({{40, 26}, {66, 74}, {14, 74}}));
    p.drawEllipse(QPointF(40, 24), 16, 16);
    ink(p, Ink, 0);
    p.drawChord(QRectF(28, 16, 24, 24), 180 * 16, 180 * 16);
    p.setBrush(QColor(250, 210, 90));
    p.drawEllipse(QPointF(34, 30), 2.5, 2.5);
    p.drawEllipse(QPointF(46, 30), 2.5, 2.5);
}

void golem(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawRect(QRectF(12, 30, 56, 40));
    p.drawRect(QRectF(24, 8, 32, 24));
    p.drawRect(QRectF(4, 36, 10, 24));
    p.drawRect(QRectF(66, 36, 10, 24));
    eyes(p, {33, 20}, {47, 20}, 4, QColor(140, 240, 120));
}

void vine(QPainter& p, const QColor& c, int) {
    ink(p, c.darker(120), 5);
    p.setBrush(Qt::NoBrush);
    QPainterPath tendrils(QPointF(40, 74));
    tendrils.cubicTo(10, 60, 30, 40, 8, 20);
    tendrils.moveTo(40, 74);
    tendrils.cubicTo(70, 60, 50, 40, 72, 20);
    p.drawPath(tendrils);
    ink(p, c);
    p.drawEllipse(QPointF(40, 44), 18, 20);
    ink(p, QColor(150, 20, 40), 2);
    p.drawChord(QRectF(28, 36, 24, 20), 180 * 16, 180 * 16);
}

void crown(QPainter& p, const QColor& metal) {
    ink(p, metal, 2.5);
    p.drawPolygon(polygon({{24, 14}, {24, 2}, {32, 9}, {40, 1}, {48, 9}, {56, 2}, {56, 14}}));
}

void gargoyle(QPainter& p, const QColor& c, int detail) {
    ink(p, c);
    p.drawRoundedRect(QRectF(14, 12, 52, 56), 8, 8);
    ink(p, Ink, 0);
    p.drawRect(QRectF(26, 48, 28, 10));
    eyes(p, {30, 32}, {50, 32}, 6, detail ? QColor(120, 180, 255) : QColor(250, 90, 40));
}

void geyser(QPainter& p, const QColor& c, int) {
    ink(p, Wood.darker(120));
    p.drawChord(QRectF(10, 50, 60, 40), 0, 180 * 16);
    ink(p, c);
    p.drawEllipse(QPointF(40, 32), 10, 16);
    p.drawEllipse(QPointF(26, 16), 5, 5);
    p.drawEllipse(QPointF(54, 12), 5, 5);
}

void echo(QPainter& p, const QColor& c, int) {
    p.setBrush(Qt::NoBrush);
    for (int r = 30; r > 0; r -= 9) {
        p.setPen(QPen(c.lighter(100 + r * 3), 4));
        p.drawEllipse(QPointF(40, 40), r, r);
    }
}

// Grid objects

void stone(QPainter& p, const QColor& c, int detail) {
    const qreal s = detail == 2 ? 1.15 : 1.0;
    QPolygonF rock =
        polygon({{14, 56}, {12, 34}, {28, 14}, {52, 12}, {68, 30}, {66, 58}, {44, 68}});
    for (QPointF& point : rock)
        point = QPointF(40, 40) + (point - QPointF(40, 40)) * s;
    ink(p, c);
    p.drawPolygon(rock);
    ink(p, c.darker(125), 2.5);
    p.drawLine(QPointF(30, 30), QPointF(42, 44));
    if (detail == 1) { // marked: a cross that hints at a hidden cache
        ink(p, QColor(200, 40, 40), 5);
        p.drawLine(QPointF(30, 28), QPointF(52, 52));
        p.drawLine(QPointF(52, 28), QPointF(30, 52));
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 140, 60));
        p.drawEllipse(QPointF(28, 22), 9, 5);
    }
}

void block(QPainter& p, const QColor& c, int detail) {
    ink(p, c);
    p.drawRect(QRectF(10, 10, 60, 60));
    ink(p, c.lighter(130), 0);
    for (const QPointF& rivet :
         {QPointF(18, 18), QPointF(62, 18), QPointF(18, 62), QPointF(62, 62)})
        p.drawEllipse(rivet, 3.5, 3.5);
    if (detail) { // keystone: a keyhole
        ink(p, Ink, 0);
        p.drawEllipse(QPointF(40, 36), 7, 7);
        p.drawPolygon(polygon({{36, 38}, {44, 38}, {47, 56}, {33, 56}}));
    }
}

void urn(QPainter& p, const QColor& c, int detail) {
    const qreal top = detail == 1 ? 4 : 14;
    QPainterPath vase(QPointF(30, top));
    vase.lineTo(50, top);
    vase.cubicTo(46, top + 10, 74, 36, 60, 72);
    vase.lineTo(20, 72);
    vase.cubicTo(6, 36, 34, top + 10, 30, top);
    ink(p, c);
    p.drawPath(vase);
    ink(p, c.darker(130), 2.5);
    p.drawLine(QPointF(22, 46), QPointF(58, 46));
}

void bramble(QPainter& p, const QColor& c, int) {
    QPolygonF spikes;
    for (int i = 0; i < 18; ++i) {
        const qreal angle = i * M_PI / 9;
        const qreal r = i % 2 ? 18 : 34;
        spikes << QPointF(40 + r * std::cos(angle), 40 + r * std::sin(angle));
    }
    ink(p, c);
    p.drawPolygon(spikes);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(170, 40, 60));
    p.drawEllipse(QPointF(34, 36), 4, 4);
    p.drawEllipse(QPointF(46, 46), 4, 4);
}

void sinkhole(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawEllipse(QPointF(40, 42), 34, 28);
    ink(p, QColor(10, 8, 6), 0);
    p.drawEllipse(QPointF(40, 44), 24, 18);
}

void flame(QPainter& p, const QColor& c, QPointF base, qreal size) {
    QPainterPath fire(base);
    fire.cubicTo(base.x() - size, base.y() - size, base.x(), base.y() - size * 1.4, base.x(),
                 base.y() - size * 2);
    fire.cubicTo(base.x() + size, base.y() - size * 1.2, base.x() + size, base.y() - size * 0.4,
                 base.x(), base.y());
    ink(p, c, 2.5);
    p.drawPath(fire);
}

void brazier(QPainter& p, const QColor& c, int) {
    ink(p, QColor(70, 66, 64));
    p.drawLine(QPointF(26, 54), QPointF(18, 74));
    p.drawLine(QPointF(54, 54), QPointF(62, 74));
    p.drawChord(QRectF(12, 30, 56, 40), 180 * 16, 180 * 16);
    flame(p, c, QPointF(40, 50), 18);
}

void spikePlate(QPainter& p, const QColor& c, int detail) {
    ink(p, detail ? QColor(110, 90, 70) : QColor(90, 90, 96));
    p.drawRect(QRectF(8, 8, 64, 64));
    ink(p, c, 2);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const qreal x = 14 + col * 19;
            const qreal y = 30 + row * 19;
            p.drawPolygon(polygon({{x, y}, {x + 7, y - 16}, {x + 14, y}}));
        }
    }
}

void reeds(QPainter& p, const QColor& c, int) {
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(i % 2 ? c : c.darker(130), 4, Qt::SolidLine, Qt::RoundCap));
        QPainterPath reed(QPointF(8 + i * 12, 74));
        reed.cubicTo(20 + i * 8, 40, 60 - i * 8, 30, 72 - i * 12, 6);
        p.drawPath(reed);
    }
}

void heap(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawChord(QRectF(6, 26, 68, 80), 0, 180 * 16);
    p.drawChord(QRectF(18, 14, 44, 44), 0, 180 * 16);
}

void crystal(QPainter& p, const QColor& c, int) {
    ink(p, c.darker(110));
    p.drawPolygon(polygon({{12, 70}, {16, 36}, {26, 28}, {32, 70}}));
    p.drawPolygon(polygon({{48, 70}, {54, 30}, {64, 22}, {70, 70}}));
    ink(p, c);
    p.drawPolygon(polygon({{28, 72}, {32, 22}, {40, 8}, {48, 22}, {52, 72}}));
    ink(p, c.lighter(150), 2);
    p.drawLine(QPointF(40, 14), QPointF(40, 66));
}

void totem(QPainter& p, const QColor& c, int detail) {
    for (int i = 0; i < 3; ++i) {
        ink(p, i % 2 ? c : c.darker(115));
        p.drawRect(QRectF(22, 6 + i * 22, 36, 22));
        eyes(p, {33, 15 + i * 22.0}, {47, 15 + i * 22.0}, 3.5,
             detail ? QColor(255, 200, 60) : Qt::white);
    }
}

void lantern(QPainter& p, const QColor& c, int) {
    ink(p, Ink, 2.5);
    p.drawLine(QPointF(40, 2), QPointF(40, 16));
    ink(p, QColor(60, 56, 50));
    p.drawPolygon(polygon({{26, 24}, {40, 14}, {54, 24}}));
    ink(p, c);
    p.drawRect(QRectF(28, 24, 24, 34));
    ink(p, QColor(60, 56, 50));
    p.drawRect(QRectF(24, 58, 32, 8));
}

void floorRune(QPainter& p, const QColor& c, int) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c, 4));
    p.drawEllipse(QPointF(40, 40), 30, 30);
    p.drawPolygon(polygon({{40, 12}, {64, 54}, {16, 54}}));
}

void puddle(QPainter& p, const QColor& c, int) {
    QColor water = c;
    water.setAlpha(210);
    ink(p, water, 2.5);
    p.drawEllipse(QRectF(8, 22, 64, 40));
    ink(p, c.lighter(160), 0);
    p.drawEllipse(QRectF(20, 32, 18, 6));
}

void lilyPads(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawPie(QRectF(6, 12, 40, 40), 30 * 16, 320 * 16);
    p.drawPie(QRectF(36, 34, 38, 38), 120 * 16, 320 * 16);
    ink(p, QColor(240, 200, 220), 2);
    p.drawEllipse(QPointF(28, 30), 6, 6);
}

void plate(QPainter& p, const QColor& c, int) {
    ink(p, c.darker(120));
    p.drawRect(QRectF(10, 10, 60, 60));
    ink(p, c, 2);
    p.drawRect(QRectF(20, 20, 40, 40));
}

void trapdoor(QPainter& p, const QColor& c, int) {
    ink(p, c);
    p.drawRect(QRectF(10, 10, 60, 60));
    ink(p, c.darker(140), 2.5);
    for (int x = 25; x < 70; x += 15)
        p.drawLine(QPointF(x, 12), QPointF(x, 68));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(40, 56), 7, 7);
}

// Which picture and colour each entity gets.

struct Family {
    Draw draw;
    QColor colour;
};

Draw withCrown(Draw body, QColor metal) {
    return [body, metal](QPainter& p, const QColor& c, int detail) {
        p.save();
        p.translate(6, 10);
        p.scale(0.85, 0.85);
        body(p, c, detail);
        p.restore();
        crown(p, metal);
    };
}

Family creature(int type) {
    // One body plan and colour per enemy type; bosses borrow the plan of their kin.
    static const QHash<int, Family> families = {
        {10, {imp, QColor(120, 150, 80)}},
        {11, {crawler, QColor(130, 100, 70)}},
        {12, {robed, QColor(110, 140, 90)}},
        {13, {flyer, QColor(90, 80, 70)}},
        {14, {flyer, QColor(170, 150, 110)}},
        {15, {spirit, QColor(250, 200, 90)}},
        {16, {blob, QColor(110, 170, 60)}},
        {17, {mushroom, QColor(190, 70, 60)}},
        {18, {toad, QColor(200, 90, 50)}},
        {19, {worm, QColor(120, 60, 80)}},
        {20, {golem, QColor(150, 110, 80)}},
        {21, {crawler, QColor(220, 210, 190)}},
        {22, {bird, QColor(70, 70, 90)}},
        {23, {vine, QColor(70, 140, 70)}},
        {24, {crawler, QColor(90, 90, 120)}},
        {25, {golem, QColor(100, 80, 60)}},
        {26, {spirit, QColor(150, 160, 200)}},
        {27, {worm, QColor(60, 110, 130)}},
        {28, {robed, QColor(230, 210, 160)}},
        {29, {blob, QColor(60, 90, 80)}},
        {30, {bird, QColor(40, 40, 50)}},
        {31, {robed, QColor(120, 110, 100)}},
        {32, {imp, QColor(240, 150, 60)}},
        {33, {spirit, QColor(120, 170, 200)}},
        {400, {blob, QColor(90, 120, 60)}},
        {401, {spirit, QColor(100, 150, 190)}},
        {402, {blob, QColor(140, 190, 60)}},
        {403, {bird, QColor(160, 150, 140)}},
        {404, {spirit, QColor(250, 190, 70)}},
        {405, {worm, QColor(50, 120, 140)}},
        {406, {robed, QColor(220, 215, 200)}},
        {407, {golem, QColor(110, 85, 60)}},
        {408, {flyer, QColor(150, 40, 40)}},
        {409, {robed, QColor(120, 120, 140)}},
        {300, {robed, QColor(90, 150, 90)}},
        {301, {robed, QColor(150, 120, 60)}},
        {900, {gargoyle, Stone}},
        {950, {geyser, QColor(120, 170, 90)}},
        {999, {echo, QColor(150, 120, 220)}},
    };
    const Family family = families.value(type, {imp, QColor(160, 60, 60)});
    if (type >= 400 && type < 500)
        return {withCrown(family.draw, Gold), family.colour};
    if (type >= 300 && type < 400)
        return {withCrown(family.draw, QColor(200, 205, 215)), family.colour};
    return family;
}

Family pickup(int variant) {
    switch (variant) {
    case 10:
        return {heart, QColor(220, 50, 60)};
    case 20:
        return {coin, Gold};
    case 30:
        return {key, QColor(200, 160, 80)};
    case 40:
        return {keg, QColor(90, 90, 100)};
    case 70:
        return {tincture, QColor(230, 160, 40)};
    case 90:
        return {lampOil, QColor(240, 180, 60)};
    case 100:
        return {relic, QColor(80, 160, 230)};
    case 300:
        return {rune, QColor(110, 100, 90)};
    case 350:
        return {charm, QColor(70, 170, 150)};
    default:
        return {[variant](QPainter& p, const QColor& c, int) { chest(p, c, variant); },
                variant == 53 ? QColor(100, 120, 70) : Wood};
    }
}

Family gridObject(int type) {
    static const QHash<int, Family> families = {
        {1001, {stone, Stone}},
        {1002, {block, QColor(110, 116, 128)}},
        {1003, {urn, QColor(190, 110, 70)}},
        {1004, {bramble, QColor(70, 110, 50)}},
        {1005, {sinkhole, QColor(100, 80, 60)}},
        {1006, {brazier, QColor(250, 150, 40)}},
        {1007, {spikePlate, QColor(200, 200, 210)}},
        {1008, {reeds, QColor(150, 170, 80)}},
        {1009, {heap, QColor(90, 64, 44)}},
        {1010, {crystal, QColor(120, 210, 230)}},
        {1011, {totem, QColor(150, 100, 60)}},
        {1012, {[](QPainter& p, const QColor& c, int) { block(p, c, 1); }, QColor(150, 130, 90)}},
        {1400, {lantern, QColor(250, 210, 100)}},
        {1490, {floorRune, QColor(140, 220, 200)}},
        {1500, {puddle, QColor(70, 120, 190)}},
        {1930, {lilyPads, QColor(70, 150, 70)}},
        {4500, {plate, QColor(140, 130, 120)}},
        {9000, {trapdoor, Wood}},
    };
    return families.value(type, {block, QColor(140, 140, 140)});
}

void drawEntity(QPainter& p, int type, int variant, int subtype) {
    if (type == 5) {
        const Family family = pickup(variant);
        family.draw(p, family.colour, subtype);
    } else if (type == 6) {
        contraption(p, QColor(150, 90, 180), variant);
    } else if (type < 1000) {
        const Family family = creature(type);
        family.draw(p, shifted(family.colour, variant), variant);
    } else {
        const Family family = gridObject(type);
        QColor colour = family.colour;
        if (type == 1006 && variant == 1)
            colour = QColor(90, 160, 250);
        family.draw(p, colour, variant);
    }
}

// An open doorway: a stone arch around a dark passage.
void drawDoor(QPainter& p) {
    ink(p, Stone, 3);
    QPainterPath arch(QPointF(6, 78));
    arch.lineTo(6, 34);
    arch.cubicTo(6, 2, 74, 2, 74, 34);
    arch.lineTo(74, 78);
    arch.closeSubpath();
    p.drawPath(arch);
    QPainterPath passage(QPointF(20, 78));
    passage.lineTo(20, 38);
    passage.cubicTo(20, 16, 60, 16, 60, 38);
    passage.lineTo(60, 78);
    passage.closeSubpath();
    ink(p, QColor(24, 20, 18), 2.5);
    p.drawPath(passage);
    ink(p, Stone.darker(130), 2);
    p.drawLine(QPointF(6, 50), QPointF(20, 50));
    p.drawLine(QPointF(60, 50), QPointF(74, 50));
    p.drawLine(QPointF(14, 18), QPointF(24, 26));
    p.drawLine(QPointF(66, 18), QPointF(56, 26));
}

bool save(const std::function<void(QPainter&)>& draw, const QString& path) {
    QImage image(80, 80, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    return image.save(path, "PNG");
}

// The editor never places the game's own moving parts (the player, shots, effects), so they
// get no icon.
bool isPlaceable(int type) {
    return type > 4 && type != 1000 && (type < 7 || type > 9);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        err << "usage: icongen ENTITIES_XML ICON_FOLDER\n";
        return 2;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(args[1].toUtf8().constData());
    if (!parsed) {
        err << args[1] << ": " << parsed.description() << '\n';
        return 1;
    }
    const QDir folder(args[2]);
    if (!QDir().mkpath(folder.path())) {
        err << "cannot create " << folder.path() << '\n';
        return 1;
    }

    int written = 0;
    bool ok = save(drawDoor, folder.filePath(QStringLiteral("door.png")));
    const pugi::xml_node entities = doc.child("entities");
    for (pugi::xml_node node = entities.child("entity"); node; node = node.next_sibling("entity")) {
        const int type = node.attribute("id").as_int();
        const int variant = node.attribute("variant").as_int();
        const int subtype = node.attribute("subtype").as_int();
        if (!isPlaceable(type))
            continue;
        QString name = QStringLiteral("%1.%2").arg(type).arg(variant);
        if (subtype != 0)
            name += QStringLiteral(".%1").arg(subtype);
        ok &= save([&](QPainter& p) { drawEntity(p, type, variant, subtype); },
                   folder.filePath(name + QStringLiteral(".png")));
        ++written;
    }
    err << "icongen: " << written << " entity icons and door.png in " << folder.path() << '\n';
    return ok ? 0 : 1;
}
