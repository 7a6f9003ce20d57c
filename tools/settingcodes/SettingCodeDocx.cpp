// Word output of a setting-code sheet: a minimal Office Open XML package (content types, the
// package relationship, the document with its picture relationships, one PNG per code), zipped
// with KArchive. PNG keeps every module sharp, where JPEG would smear the edges.
#include "SettingCodeSheet.h"

#include <KZip>

#include <QBuffer>
#include <QFile>

namespace {
// English Metric Units per pixel of the 150 dpi layout.
const qint64 kEmuPerPixel = 914400 / SettingCodeSheet::kPageDpi;
// The page: A4 in twentieths of a point, 0.6 inch margins (the PDF's 90 pixels).
const int kPageTwipsW = 11906;
const int kPageTwipsH = 16838;
const int kMarginTwips = 864;
const int kUsableWidthPx = (kPageTwipsW - 2 * kMarginTwips) * SettingCodeSheet::kPageDpi / 1440;

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Default Extension=\"png\" ContentType=\"image/png\"/>"
    "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
    "</Types>";

const char kPackageRels[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/officeDocument\" Target=\"word/document.xml\"/>"
    "</Relationships>";

QString textParagraph(const QString &text, bool centred)
{
    return QStringLiteral("<w:p>%1<w:r><w:t xml:space=\"preserve\">%2</w:t></w:r></w:p>")
        .arg(centred ? QStringLiteral("<w:pPr><w:jc w:val=\"center\"/></w:pPr>") : QString(),
             text.toHtmlEscaped());
}

QString pictureParagraph(int index, const QSize &px)
{
    const qint64 cx = qint64(px.width()) * kEmuPerPixel;
    const qint64 cy = qint64(px.height()) * kEmuPerPixel;
    return QStringLiteral(
               "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:r><w:drawing>"
               "<wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\">"
               "<wp:extent cx=\"%2\" cy=\"%3\"/><wp:docPr id=\"%1\" name=\"Code %1\"/>"
               "<a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
               "<pic:pic><pic:nvPicPr><pic:cNvPr id=\"%1\" name=\"code%1.png\"/><pic:cNvPicPr/></pic:nvPicPr>"
               "<pic:blipFill><a:blip r:embed=\"rIdCode%1\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>"
               "<pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"%2\" cy=\"%3\"/></a:xfrm>"
               "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
               "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>")
        .arg(index)
        .arg(cx)
        .arg(cy);
}
} // namespace

bool SettingCodeSheet::writeDocx(const QString &path, const QStringList &header, QString *error) const
{
    QString body;
    QString rels = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    QList<QPair<QString, QByteArray>> media;
    for (const QString &line : header)
        body += textParagraph(line, false);
    for (int i = 0; i < m_items.size(); ++i) {
        const SettingCodeItem &item = m_items.at(i);
        QSize size = codeSize(item);
        // The picture carries the drawn size in pixels, module for module; only the shown size
        // shrinks when a code is wider than the page.
        QImage picture = item.image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                             .convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
        if (size.width() > kUsableWidthPx)
            size = QSize(kUsableWidthPx, size.height() * kUsableWidthPx / size.width());
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.save(&buffer, "PNG")) {
            *error = QStringLiteral("cannot make the picture of \"%1\"").arg(item.label);
            return false;
        }
        const int index = i + 1;
        media.append({QStringLiteral("word/media/code%1.png").arg(index), png});
        rels += QStringLiteral("<Relationship Id=\"rIdCode%1\" Type=\"http://schemas.openxmlformats.org/"
                               "officeDocument/2006/relationships/image\" Target=\"media/code%1.png\"/>")
                    .arg(index);
        if (m_options.showText && m_options.textOnTop)
            body += textParagraph(item.label, true);
        body += pictureParagraph(index, size);
        if (m_options.showText && !m_options.textOnTop)
            body += textParagraph(item.label, true);
    }
    rels += QStringLiteral("</Relationships>");
    const QString document =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
            "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
            "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
            "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><w:body>%1"
            "<w:sectPr><w:pgSz w:w=\"%2\" w:h=\"%3\"/><w:pgMar w:top=\"%4\" w:right=\"%4\" "
            "w:bottom=\"%4\" w:left=\"%4\" w:header=\"0\" w:footer=\"0\" w:gutter=\"0\"/></w:sectPr>"
            "</w:body></w:document>")
            .arg(body)
            .arg(kPageTwipsW)
            .arg(kPageTwipsH)
            .arg(kMarginTwips);

    // Written aside and renamed at the end: a failed write never leaves half a document.
    const QString part = path + QStringLiteral(".part");
    bool ok = false;
    {
        KZip zip(part);
        if (zip.open(QIODevice::WriteOnly)) {
            zip.setCompression(KZip::DeflateCompression);
            ok = zip.writeFile(QStringLiteral("[Content_Types].xml"), QByteArray(kContentTypes))
                && zip.writeFile(QStringLiteral("_rels/.rels"), QByteArray(kPackageRels))
                && zip.writeFile(QStringLiteral("word/document.xml"), document.toUtf8())
                && zip.writeFile(QStringLiteral("word/_rels/document.xml.rels"), rels.toUtf8());
            for (const auto &m : media)
                ok = ok && zip.writeFile(m.first, m.second);
            ok = zip.close() && ok;
        }
    }
    if (ok) {
        QFile::remove(path);
        ok = QFile::rename(part, path);
    }
    if (!ok) {
        QFile::remove(part);
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}
