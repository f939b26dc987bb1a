#include "app/panel_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <array>

namespace tolvex {
namespace {

constexpr int ButtonSize = 32;
constexpr int ModeWidth = 30;
constexpr int ModeHeight = 30;

QPixmap Blank(int w, int h)
{
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawFace(QPainter& p, ButtonFace face, const QColor& ink)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (face) {
    case ButtonFace::Run:
        p.drawPolygon(QPolygonF({QPointF(10, 7), QPointF(26, 16), QPointF(10, 25)}));
        break;
    case ButtonFace::Pause:
        p.drawRect(9, 8, 5, 16);
        p.drawRect(18, 8, 5, 16);
        break;
    case ButtonFace::Stop: p.drawRect(9, 9, 14, 14); break;
    case ButtonFace::Help: {
        QFont font;
        font.setPixelSize(22);
        font.setBold(true);
        p.setFont(font);
        p.setPen(ink);
        p.drawText(QRect(0, 0, ButtonSize, ButtonSize), Qt::AlignCenter, "?");
        break;
    }
    case ButtonFace::FileOpen:
        p.drawRect(5, 10, 22, 15);
        p.drawRect(5, 7, 9, 4);
        p.setBrush(QColor(255, 255, 255, 160));
        p.drawRect(8, 14, 16, 8);
        break;
    }
}

QColor FaceColor(ButtonFace face)
{
    switch (face) {
    case ButtonFace::Run: return QColor(0, 150, 0);
    case ButtonFace::Pause: return QColor(200, 140, 0);
    case ButtonFace::Stop: return QColor(200, 0, 0);
    case ButtonFace::Help: return QColor(0, 70, 190);
    case ButtonFace::FileOpen: return QColor(190, 150, 40);
    }
    return Qt::black;
}

void DrawLetter(QPainter& p, const QRect& area, const QString& text, const QColor& ink, int pixelSize)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(area, Qt::AlignCenter, text);
}

QPixmap ModeFrame(bool selected)
{
    QPixmap pixmap = Blank(ModeWidth, ModeHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(selected ? QColor(0, 90, 200) : QColor(150, 150, 150), selected ? 2 : 1));
    p.setBrush(selected ? QColor(200, 225, 255) : QColor(250, 250, 250));
    p.drawRoundedRect(QRectF(1, 1, ModeWidth - 2, ModeHeight - 2), 4, 4);
    return pixmap;
}

}  // namespace

QIcon ButtonIcon(ButtonFace face)
{
    QIcon icon;
    QPixmap normal = Blank(ButtonSize, ButtonSize);
    {
        QPainter p(&normal);
        DrawFace(p, face, FaceColor(face));
    }
    QPixmap disabled = Blank(ButtonSize, ButtonSize);
    {
        QPainter p(&disabled);
        DrawFace(p, face, QColor(170, 170, 170));
    }
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(disabled, QIcon::Disabled);
    return icon;
}

namespace {
QPixmap DrawOutputPicture(OutputIndicator indicator)
{
    QPixmap pixmap = Blank(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(3, 3, 18, 18);
    switch (indicator) {
    case OutputIndicator::Failed:
        p.setPen(QPen(QColor(200, 0, 0), 3));
        p.drawLine(6, 6, 18, 18);
        p.drawLine(18, 6, 6, 18);
        break;
    case OutputIndicator::Waiting:
        p.setPen(QPen(QColor(150, 110, 0), 1));
        p.setBrush(QColor(250, 200, 40));
        p.drawEllipse(disc);
        break;
    case OutputIndicator::Off:
        p.setPen(QPen(QColor(160, 160, 160), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(disc);
        break;
    case OutputIndicator::Ready:
        p.setPen(QPen(QColor(0, 150, 0), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(disc);
        break;
    case OutputIndicator::Sending:
        p.setPen(QPen(QColor(0, 110, 0), 1));
        p.setBrush(QColor(40, 200, 40));
        p.drawEllipse(disc);
        break;
    }
    return pixmap;
}
}  // namespace

QPixmap OutputPicture(OutputIndicator indicator)
{
    // Drawn on every paint of the table: made once, and never freed, since a pixmap must not
    // outlive the application object.
    static const auto* pictures = new std::array<QPixmap, 5>{
        DrawOutputPicture(OutputIndicator::Failed), DrawOutputPicture(OutputIndicator::Waiting),
        DrawOutputPicture(OutputIndicator::Off), DrawOutputPicture(OutputIndicator::Ready),
        DrawOutputPicture(OutputIndicator::Sending)};
    return (*pictures)[static_cast<std::size_t>(indicator)];
}

QPixmap ModePicture(TrackMode mode, bool selected)
{
    QPixmap pixmap = ModeFrame(selected);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = selected ? QColor(0, 60, 170) : QColor(60, 60, 60);
    if (mode == TrackMode::Free) {
        // A steering wheel.
        p.setPen(QPen(ink, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(6, 6, 18, 18));
        p.drawLine(QPointF(6, 15), QPointF(24, 15));
        p.drawLine(QPointF(15, 15), QPointF(15, 24));
        return pixmap;
    }
    const char* letter = mode == TrackMode::P ? "P" : mode == TrackMode::M ? "M" : "S";
    DrawLetter(p, QRect(0, 0, ModeWidth, ModeHeight), letter, ink, 17);
    return pixmap;
}

QPixmap LoopPicture(LoopMode mode)
{
    QPixmap pixmap = ModeFrame(false);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(60, 60, 60);
    if (mode == LoopMode::NoLoop) {
        p.setPen(QPen(ink, 2));
        p.drawLine(6, 15, 22, 15);
        p.drawLine(17, 10, 22, 15);
        p.drawLine(17, 20, 22, 15);
        return pixmap;
    }
    p.setPen(QPen(ink, 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6, 6, 18, 18), 60 * 16, 300 * 16);
    DrawLetter(p, QRect(0, 0, ModeWidth, ModeHeight), mode == LoopMode::FileLoop ? "F" : "T", ink, 10);
    return pixmap;
}

QPixmap DirectionPicture(bool reversed)
{
    QPixmap pixmap = ModeFrame(false);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(reversed ? QColor(190, 90, 0) : QColor(0, 130, 0));
    if (reversed)
        p.drawPolygon(QPolygonF({QPointF(22, 8), QPointF(8, 15), QPointF(22, 22)}));
    else
        p.drawPolygon(QPolygonF({QPointF(8, 8), QPointF(22, 15), QPointF(8, 22)}));
    return pixmap;
}

QIcon AppIcon()
{
    QPixmap pixmap = Blank(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 70, 160), 2));
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 0, 0));
    QPainterPath pin;
    pin.moveTo(16, 27);
    pin.arcTo(QRectF(9, 6, 14, 14), -30, 240);
    pin.closeSubpath();
    p.drawPath(pin);
    return QIcon(pixmap);
}

}  // namespace tolvex
