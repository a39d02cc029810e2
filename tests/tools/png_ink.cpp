// Says whether a program's saved window shows a drawing: counts the pixels of a PNG
// that differ from its top-left pixel (the background) and fails below a minimum.
// With a colour given, all four corners must have it: the control fills the window.
//   png_ink FILE MINIMUM [#RRGGBB]
#include <QColor>
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: png_ink FILE MINIMUM [#RRGGBB]\n");
        return 2;
    }
    const QImage image =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        std::fprintf(stderr, "png_ink: cannot read %s\n", argv[1]);
        return 1;
    }
    const QRgb background = image.pixel(0, 0);
    if (argc == 4) {
        const QRgb wanted = QColor(QString::fromLatin1(argv[3])).rgb();
        const int r = image.width() - 1, b = image.height() - 1;
        for (const QRgb corner :
             {image.pixel(0, 0), image.pixel(r, 0), image.pixel(0, b), image.pixel(r, b)})
            if (corner != wanted) {
                std::fprintf(stderr, "png_ink: %s: a corner is %s, not %s\n", argv[1],
                             qPrintable(QColor(corner).name()), argv[3]);
                return 1;
            }
    }
    long ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += image.pixel(x, y) != background;
    const long minimum = std::atol(argv[2]);
    std::printf("png_ink: %s: %ld of %d x %d pixels drawn\n", argv[1], ink, image.width(),
                image.height());
    return ink >= minimum ? 0 : 1;
}
