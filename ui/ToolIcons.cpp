#include "ui/ToolIcons.h"

#include "ui/MainWindow.h"

#include <QPainter>
#include <utility>
#include <QPainterPath>
#include <QPixmap>

namespace {

using F = CMainFrame;

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 90, 200);
const QColor kGreen(20, 150, 60);
const QColor kRed(200, 40, 40);
const QColor kPaper(250, 250, 245);
const QColor kFolder(230, 180, 60);

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& c, double w = 2.4)
{
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head;
    head << to + u * 2 << to - u * 5 + n * 4.5 << to - u * 5 - n * 4.5;
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
}

void Magnifier(QPainter& p, bool plus)
{
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(QRectF(2, 2, 19, 19));
    p.setPen(QPen(kInk, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(28, 28));
    p.setPen(QPen(kBlue, 2.5));
    p.drawLine(QPointF(7, 11.5), QPointF(16, 11.5));
    if (plus)
        p.drawLine(QPointF(11.5, 7), QPointF(11.5, 16));
}

void Panel(QPainter& p, const QColor& title)
{
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2, 3, 27, 25));
    p.fillRect(QRectF(2.75, 3.75, 25.5, 5), title);
}

void Draw(QPainter& p, int id)
{
    switch (id) {
    case F::ID_FILE_NEW: {
        QPolygonF page;
        page << QPointF(6, 2) << QPointF(20, 2) << QPointF(26, 8) << QPointF(26, 29) << QPointF(6, 29);
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kPaper);
        p.drawPolygon(page);
        p.drawLine(QPointF(20, 2), QPointF(20, 8));
        p.drawLine(QPointF(20, 8), QPointF(26, 8));
        p.setPen(QPen(QColor(240, 190, 0), 2));
        p.drawLine(QPointF(3, 5), QPointF(11, 13));
        p.drawLine(QPointF(11, 5), QPointF(3, 13));
        break;
    }
    case F::ID_OPEN_PLAN: {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kFolder.darker(115));
        p.drawRect(QRectF(2, 7, 22, 19));
        QPolygonF front;
        front << QPointF(6, 13) << QPointF(30, 13) << QPointF(25, 26) << QPointF(2, 26);
        p.setBrush(kFolder);
        p.drawPolygon(front);
        break;
    }
    case F::ID_SAVE_PLAN: {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(3, 3, 26, 26), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(8, 3, 16, 10));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(9, 19, 14, 10));
        break;
    }
    case F::ID_RUN_EDIT: {
        p.setPen(QPen(kInk, 1.5));
        QPolygonF pencil;
        pencil << QPointF(6, 26) << QPointF(8, 19) << QPointF(22, 5) << QPointF(27, 10) << QPointF(13, 24);
        p.setBrush(QColor(250, 200, 60));
        p.drawPolygon(pencil);
        p.setBrush(kRed);
        p.drawPolygon(QPolygonF() << QPointF(22, 5) << QPointF(27, 10) << QPointF(29, 8) << QPointF(24, 3));
        break;
    }
    case F::ID_PLAY:
        p.setPen(QPen(kGreen.darker(130), 1.5));
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF() << QPointF(8, 4) << QPointF(27, 16) << QPointF(8, 28));
        break;
    case F::ID_PAUSE:
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(7, 5, 6, 22), 1.5, 1.5);
        p.drawRoundedRect(QRectF(19, 5, 6, 22), 1.5, 1.5);
        break;
    case F::ID_SPEED_UP:
    case F::ID_SPEED_DOWN: {
        const bool up = id == F::ID_SPEED_UP;
        p.setPen(Qt::NoPen);
        p.setBrush(up ? QColor(230, 110, 20) : kBlue);
        for (int k = 0; k < 2; ++k) {
            const double x = 3 + k * 13;
            QPolygonF t;
            if (up)
                t << QPointF(x, 6) << QPointF(x + 13, 16) << QPointF(x, 26);
            else
                t << QPointF(x + 13, 6) << QPointF(x, 16) << QPointF(x + 13, 26);
            p.drawPolygon(t);
        }
        break;
    }
    case F::ID_ZOOM_IN:
    case F::ID_ZOOM_OUT:
        Magnifier(p, id == F::ID_ZOOM_IN);
        break;
    case F::ID_PAN_LEFT:
        Arrow(p, QPointF(28, 16), QPointF(5, 16), kBlue, 3.5);
        break;
    case F::ID_PAN_RIGHT:
        Arrow(p, QPointF(4, 16), QPointF(27, 16), kBlue, 3.5);
        break;
    case F::ID_PAN_UP:
        Arrow(p, QPointF(16, 28), QPointF(16, 5), kBlue, 3.5);
        break;
    case F::ID_PAN_DOWN:
        Arrow(p, QPointF(16, 4), QPointF(16, 27), kBlue, 3.5);
        break;
    case F::ID_FULL_EXTENT: {
        // A globe inside four corner marks.
        p.setPen(QPen(kInk, 2));
        for (const QPointF& c : {QPointF(3, 3), QPointF(29, 3), QPointF(29, 29), QPointF(3, 29)}) {
            const double sx = c.x() < 16 ? 1 : -1, sy = c.y() < 16 ? 1 : -1;
            p.drawLine(c, c + QPointF(7 * sx, 0));
            p.drawLine(c, c + QPointF(0, 7 * sy));
        }
        p.setPen(QPen(kBlue, 1.6));
        p.setBrush(QColor(200, 225, 250));
        p.drawEllipse(QRectF(8, 8, 16, 16));
        p.drawLine(QPointF(8, 16), QPointF(24, 16));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(12.5, 8, 7, 16));
        break;
    }
    case F::ID_SELECT: {
        QPolygonF cursor;
        cursor << QPointF(8, 3) << QPointF(8, 26) << QPointF(13, 21) << QPointF(17, 29) << QPointF(21, 27)
               << QPointF(17, 19) << QPointF(24, 19);
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::white);
        p.drawPolygon(cursor);
        break;
    }
    case F::ID_VIEW_EDIT_PANEL: {
        Panel(p, kGreen);
        p.setPen(QPen(kInk, 1.5));
        p.drawLine(QPointF(7, 12), QPointF(7, 24));
        for (int y : {14, 19, 24}) {
            p.drawLine(QPointF(7, y), QPointF(11, y));
            p.fillRect(QRectF(12, y - 1.5, 12, 3), kBlue);
        }
        break;
    }
    case F::ID_VIEW_TIME_PANEL: {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setPen(QPen(kBlue, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 16), QPointF(16, 7));
        p.drawLine(QPointF(16, 16), QPointF(23, 19));
        break;
    }
    case F::ID_VIEW_INFO_PANEL: {
        Panel(p, kBlue);
        for (int y : {13, 18, 23}) {
            p.fillRect(QRectF(6, y - 1, 5, 2.5), kInk);
            p.fillRect(QRectF(13, y - 1, 12, 2.5), QColor(120, 120, 120));
        }
        break;
    }
    case F::ID_VIEW_PROPERTY_PANEL: {
        Panel(p, QColor(230, 110, 20));
        p.setPen(QPen(QColor(150, 150, 150), 1));
        for (int y : {15, 21})
            p.drawLine(QPointF(3, y), QPointF(28, y));
        p.drawLine(QPointF(13, 9), QPointF(13, 27));
        for (int y : {12, 18, 24})
            p.fillRect(QRectF(16, y - 1, 9, 2.5), kBlue);
        break;
    }
    case F::ID_SHOW_ALL_PLANS: {
        // Two planned routes with numbered points, the second one faded.
        for (const auto& [alpha, y0] : {std::pair{90, 24.0}, std::pair{255, 10.0}}) {
            QColor ink(20, 96, 200, alpha);
            p.setPen(QPen(ink, 2));
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(5, y0 + 4), QPointF(16, y0 - 2));
            p.drawLine(QPointF(16, y0 - 2), QPointF(27, y0 + 4));
            p.setBrush(Qt::white);
            for (const QPointF& c : {QPointF(5, y0 + 4), QPointF(16, y0 - 2), QPointF(27, y0 + 4)})
                p.drawEllipse(c, 3.2, 3.2);
        }
        break;
    }
    case F::ID_SHOW_ROUTES: {
        p.setPen(QPen(QColor(200, 0, 0), 2.2, Qt::DashDotLine, Qt::SquareCap));
        QPainterPath path(QPointF(4, 26));
        path.cubicTo(QPointF(10, 4), QPointF(20, 30), QPointF(28, 6));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawEllipse(QPointF(4, 26), 2.8, 2.8);
        p.drawEllipse(QPointF(28, 6), 2.8, 2.8);
        break;
    }
    case F::ID_FULL_SCREEN: {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(220, 235, 255));
        p.drawRect(QRectF(6, 8, 20, 16));
        for (auto [from, to] : {std::pair{QPointF(10, 12), QPointF(3, 4)}, {QPointF(22, 12), QPointF(29, 4)},
                                {QPointF(10, 20), QPointF(3, 28)}, {QPointF(22, 20), QPointF(29, 28)}})
            Arrow(p, from, to, kBlue, 2);
        break;
    }
    case F::ID_RECALCULATE: {
        p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(5, 5, 22, 22), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF() << QPointF(16, 1) << QPointF(24, 6) << QPointF(16, 11));
        p.setBrush(kRed);
        p.drawEllipse(QPointF(16, 16), 3, 3);
        break;
    }
    case F::ID_CONTROL_NO_HANDLER_1:
    case F::ID_CONTROL_NO_HANDLER_2:
        // A plain button face: these commands do nothing and are shown disabled.
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kPaper);
        p.drawRoundedRect(QRectF(6, 6, 20, 20), 3, 3);
        break;
    default:
        break;
    }
}

}  // namespace

QIcon ToolIcon(int id)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        Draw(p, id);
    }
    return QIcon(pixmap);
}

QIcon AppIcon()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 30), 2));
    p.setBrush(QColor(70, 120, 60));
    p.drawEllipse(QRectF(3, 3, 42, 42));
    p.setPen(QPen(QColor(240, 220, 80), 3));
    p.drawLine(QPointF(12, 36), QPointF(36, 12));
    p.drawLine(QPointF(12, 12), QPointF(36, 36));
    p.setBrush(QColor(240, 220, 80));
    p.drawEllipse(QPointF(24, 24), 5, 5);
    return QIcon(pixmap);
}

QCursor ZoomCursor(bool zoomIn)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        // A white halo keeps the cursor visible over dark map areas.
        p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2, 2, 19, 19));
        p.drawLine(QPointF(19, 19), QPointF(28, 28));
        Magnifier(p, zoomIn);
    }
    return QCursor(pixmap, 11, 11);
}
