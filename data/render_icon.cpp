// Renders the program's SVG icon as a PNG of one size, for the icon theme's
// fixed-size folders (desktops that do not draw SVG icons use those).
//
//     kw_render_icon ICON.svg SIZE OUT.png

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "Usage: kw_render_icon ICON.svg SIZE OUT.png\n");
        return 2;
    }
    // No display at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    const int size = std::atoi(argv[2]);
    if (!svg.isValid() || size < 1 || size > 4096) {
        std::fprintf(stderr, "kw_render_icon: cannot render %s at %s pixels\n", argv[1], argv[2]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        svg.render(&p, QRectF(0, 0, size, size));
    }
    const QString out = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(QFileInfo(out).path());
    if (!image.save(out, "PNG")) {
        std::fprintf(stderr, "kw_render_icon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
