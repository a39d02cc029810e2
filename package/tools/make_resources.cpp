// Draws the package's resources once: the palette bitmap, the main icon, the package
// description and the turtle as a PNG icon for the desktop menu and the Qt Creator wizard. The
// results are committed under package/resources; run this again only to change them (see
// package/CMakeLists.txt for how).
#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QString>
#include <QStringEncoder>

#include <cstdio>

namespace {

// 16 classic colours, a 6 x 6 x 6 colour cube and a grey ramp: 256 entries.
QList<QRgb> ColourTable() {
    QList<QRgb> t = {0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080,
                     0xff008080, 0xffc0c0c0, 0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00,
                     0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                t.push_back(qRgb(r * 51, g * 51, b * 51));
    for (int i = 0; t.size() < 256; ++i)
        t.push_back(qRgb(8 + i * 10, 8 + i * 10, 8 + i * 10));
    return t;
}

// A turtle seen from above, head up: shell, head, four legs and a tail.
void DrawTurtle(QPainter& p, double scale) {
    p.scale(scale, scale);
    const QColor skin(0, 153, 0), shell(102, 51, 0), rim(0, 0, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(skin);
    p.drawEllipse(QRect(11, 2, 5, 6)); // head
    p.drawEllipse(QRect(5, 7, 5, 4));  // front legs
    p.drawEllipse(QRect(17, 7, 5, 4));
    p.drawEllipse(QRect(5, 17, 5, 4)); // hind legs
    p.drawEllipse(QRect(17, 17, 5, 4));
    p.drawPolygon(QPolygon({QPoint(12, 22), QPoint(15, 22), QPoint(13, 26)})); // tail
    p.setPen(rim);
    p.setBrush(shell);
    p.drawEllipse(QRect(7, 7, 13, 15)); // shell
    p.setPen(QColor(0, 153, 0));
    p.drawLine(13, 8, 13, 21);
    p.drawLine(8, 14, 19, 14);
}

bool WritePaletteBitmap(const QString& path) {
    QImage rgb(27, 27, QImage::Format_RGB32);
    rgb.fill(QColor(192, 192, 192)); // the palette's transparent colour, bottom left
    {
        QPainter p(&rgb);
        DrawTurtle(p, 1.0);
    }
    const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8, ColourTable(),
                                               Qt::ThresholdDither | Qt::AvoidDither);
    return indexed.save(path, "BMP");
}

// One 32 x 32 image of 32 bits per pixel with alpha; Qt's icon writer stores it with
// its transparency mask.
bool WriteMainIcon(const QString& path) {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        DrawTurtle(p, 32.0 / 27.0);
    }
    return img.save(path, "ICO");
}

// The turtle as an application icon for the desktop menu and the Qt Creator wizard:
// a square PNG of size pixels with alpha.
bool WriteIconPng(const QString& path, int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        DrawTurtle(p, size / 27.0);
    }
    return img.save(path, "PNG");
}

bool WriteDescription(const QString& path) {
    QStringEncoder toUtf16(QStringConverter::Utf16LE);
    const QByteArray bytes = toUtf16(QStringLiteral("Kritzel-Werk Komponente"));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <package/resources directory>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool ok = WritePaletteBitmap(dir + "/TTURTLE.bmp") &&
                    WriteMainIcon(dir + "/MAINICON.ico") &&
                    WriteDescription(dir + "/DESCRIPTION.utf16") &&
                    WriteIconPng(dir + "/kritzelwerk-48.png", 48) &&
                    WriteIconPng(dir + "/kritzelwerk-128.png", 128);
    if (!ok) std::fprintf(stderr, "could not write the resources into %s\n", argv[1]);
    return ok ? 0 : 1;
}
