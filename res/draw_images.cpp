// Draws the program's icon and the two pictures of the main dialog. Not part of the build:
// run it once after changing a drawing and commit the PNG files it writes (the icon also in
// the sizes of the desktop's icon theme, res/icons/NN.png, which are installed).
//   g++ -std=c++20 -fPIC draw_images.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw
//   QT_QPA_PLATFORM=offscreen /tmp/draw res/

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

namespace {

// A sheet of source text: ragged lines on the left half, the same lines indented on the right.
void DrawSheet(QPainter& p, QRectF sheet, bool tidy) {
    p.setPen(QPen(QColor(40, 40, 80), 1));
    p.setBrush(QColor(255, 255, 250));
    p.drawRect(sheet);
    const int indents[] = {0, 1, 2, 2, 1, 2, 0};
    const int ragged[] = {3, 0, 5, 1, 4, 0, 2};
    const double step = sheet.height() / 9.0;
    for (int i = 0; i < 7; ++i) {
        double y = sheet.top() + step * (i + 1.2);
        double x = sheet.left() + 3 + (tidy ? indents[i] * 4 : ragged[i] * 2);
        double w = sheet.width() - (x - sheet.left()) - 4 - (i * 5 % 7);
        p.setPen(QPen(i % 3 == 1 ? QColor(0, 128, 0) : QColor(0, 0, 160), 1.4));
        p.drawLine(QPointF(x, y), QPointF(x + w, y));
    }
}

QImage Icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    double s = size / 32.0;
    p.setPen(QPen(QColor(0, 0, 96), 1.5 * s));
    p.setBrush(QColor(0, 96, 192));
    p.drawRoundedRect(QRectF(1.5 * s, 1.5 * s, 29 * s, 29 * s), 5 * s, 5 * s);
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(static_cast<int>(20 * s));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, -1 * s, size, size), Qt::AlignCenter, "{}");
    p.setPen(QPen(QColor(255, 224, 0), 2 * s));
    p.drawLine(QPointF(7 * s, 26 * s), QPointF(25 * s, 26 * s));
    return image;
}

QImage TitleBitmap() {
    QImage image(170, 55, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 170, 55);
    sky.setColorAt(0, QColor(0, 64, 160));
    sky.setColorAt(1, QColor(0, 160, 208));
    p.fillRect(image.rect(), sky);
    QFont font("DejaVu Sans");
    font.setPixelSize(30);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    p.setPen(QColor(0, 0, 64));
    p.drawText(QRect(10, 2, 160, 38), Qt::AlignLeft | Qt::AlignVCenter, "SRCTDY");
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRect(8, 0, 160, 38), Qt::AlignLeft | Qt::AlignVCenter, "SRCTDY");
    QFont small("IPAPGothic");
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(255, 240, 160));
    p.drawText(QRect(10, 36, 156, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("ソース整形ツール  Ver.1.2"));
    return image;
}

QImage SheetsBitmap() {
    QImage image(83, 84, QImage::Format_RGB32);
    image.fill(QColor(224, 232, 240));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawSheet(p, QRectF(4.5, 6.5, 34, 46), false);
    DrawSheet(p, QRectF(44.5, 30.5, 34, 46), true);
    QPainterPath arrow;
    arrow.moveTo(24, 58);
    arrow.cubicTo(26, 74, 34, 76, 40, 70);
    p.setPen(QPen(QColor(200, 64, 0), 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
    p.setBrush(QColor(200, 64, 0));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(44, 66), QPointF(35, 66), QPointF(41, 75)}));
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(".");
    bool ok = Icon(32).save(dir + "/icon128_32.png") && Icon(16).save(dir + "/icon128_16.png") &&
              TitleBitmap().save(dir + "/bitmap129.png") &&
              SheetsBitmap().save(dir + "/bitmap131.png");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok = Icon(size).save(dir + QString("/icons/%1.png").arg(size)) && ok;
    return ok ? 0 : 1;
}
