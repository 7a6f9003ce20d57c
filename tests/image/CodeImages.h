#pragma once
// Test images: codes rendered with Zint onto a white page at known places.
#include <QImage>
#include <QPainter>
#include <QRect>

#include <zint.h>

namespace CodeImages {

// One symbol as an 8-bit grey image (Zint draws 2 x scale pixels per module); null when Zint
// refuses the data.
inline QImage render(int symbology, const QByteArray &data, int scale = 2)
{
    zint_symbol *s = ZBarcode_Create();
    s->symbology = symbology;
    s->scale = scale;
    s->whitespace_width = 4;
    QImage out;
    if (ZBarcode_Encode_and_Buffer(s, reinterpret_cast<const unsigned char *>(data.constData()),
                                   data.size(), 0) < 5) {
        out = QImage(s->bitmap_width, s->bitmap_height, QImage::Format_Grayscale8);
        for (int y = 0; y < s->bitmap_height; ++y) {
            const unsigned char *row = s->bitmap + y * s->bitmap_width * 3;
            uchar *dst = out.scanLine(y);
            for (int x = 0; x < s->bitmap_width; ++x)
                dst[x] = row[x * 3];
        }
    }
    ZBarcode_Delete(s);
    return out;
}

struct Placed
{
    QByteArray text;
    int symbology;
    QPoint at;
    int scale = 2;  // ZXing 1.4 reads Data Matrix reliably only from 8 pixels per module on
};

// A white page of size with each code drawn at its place; where[i] receives the code's box.
inline QImage page(const QSize &size, const QList<Placed> &codes, QList<QRect> *where = nullptr)
{
    QImage img(size, QImage::Format_Grayscale8);
    img.fill(255);
    QPainter p(&img);
    for (const Placed &c : codes) {
        const QImage sym = render(c.symbology, c.text, c.scale);
        p.drawImage(c.at, sym);
        if (where)
            *where << QRect(c.at, sym.size());
    }
    return img;
}

}  // namespace CodeImages
