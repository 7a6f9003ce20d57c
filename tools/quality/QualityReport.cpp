#include "QualityReport.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {
template <typename R>
void take(const R &record, const QString &standard, QualityRead *out)
{
    out->standard = standard;
    out->grades.clear();
    const auto &keys = R::keys();
    for (size_t i = 0; i < keys.size(); ++i)
        out->grades.append({R::prefix() + QLatin1String(keys[i]), QLatin1String(keys[i]), record.grades[i]});
}
}  // namespace

int QualityRead::overall() const
{
    for (const QualityGrade &g : grades)
        if (g.key == QLatin1String("cALL"))
            return g.grade;
    return -1;
}

bool QualityReport::gradesOf(const STRUCT_BARCODE_INFO &info, QualityRead *out)
{
    if (info.bq15416.present)
        take(info.bq15416, QStringLiteral("ISO 15416"), out);
    else if (info.bq15415.present)
        take(info.bq15415, QStringLiteral("ISO 15415"), out);
    else if (info.bq29158.present)
        take(info.bq29158, QStringLiteral("ISO 29158"), out);
    else
        return false;
    out->seq = info.seq;
    return true;
}

QString QualityReport::letter(int grade)
{
    static const char *letters[] = {"F", "D", "C", "B", "A"};
    return grade >= 0 && grade <= 4 ? QLatin1String(letters[grade]) : QStringLiteral("-");
}

int QualityReport::add(const QList<STRUCT_BARCODE_INFO> &batch, const QDateTime &now)
{
    int added = 0;
    for (const STRUCT_BARCODE_INFO &info : batch) {
        QualityRead read;
        if (!gradesOf(info, &read))
            continue;
        read.time = now;
        auto it = std::find_if(m_codes.begin(), m_codes.end(), [&](const QualityCode &c) {
            return c.data == info.data && c.symbology == info.symbology;
        });
        if (it == m_codes.end()) {
            // A long run of ever new codes keeps the newest ones.
            if (m_codes.size() >= kCodes)
                m_codes.removeFirst();
            m_codes.append({info.symbology, info.data, {}});
            it = m_codes.end() - 1;
        }
        if (it->reads.size() >= kReadsPerCode)
            it->reads.removeFirst();
        it->reads.append(read);
        ++added;
    }
    return added;
}

bool QualityReport::writePdf(const QString &path, const QString &title, const QString &readerName,
                             const QHash<QString, QString> &texts, QString *error) const
{
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        *error = probe.errorString();
        return false;
    }
    probe.close();
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setTitle(title);
    QPainter p;
    if (!p.begin(&pdf)) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    const int width = pdf.width();
    const int bottom = pdf.height();
    const int line = 60;
    // Text starts a little in from the page's edge.
    const int left = 120;
    int y = 120;
    auto text = [&](int x, const QString &s, bool bold = false, int size = 10) {
        QFont f(QStringLiteral("DejaVu Sans"), size);
        f.setBold(bold);
        p.setFont(f);
        p.drawText(QRect(left + x, y, width - left - x, line), Qt::AlignLeft | Qt::AlignVCenter, s);
    };
    auto room = [&](int need) {
        if (y + need > bottom) {
            pdf.newPage();
            y = 120;
        }
    };
    text(0, title, true, 16);
    y += line * 2;
    text(0, readerName + QStringLiteral("    ") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    y += line * 2;
    for (const QualityCode &c : m_codes) {
        if (c.reads.isEmpty())
            continue;
        const QualityRead &last = c.reads.last();
        room(line * (4 + last.grades.size()) + 400);
        text(0, QStringLiteral("%1  %2  (%3)").arg(c.symbology, QString::fromUtf8(c.data), last.standard), true, 12);
        y += line + 20;
        text(0, QStringLiteral("%1: %2 (%3)    %4: %5")
                    .arg(texts.value(QStringLiteral("cALL"), QStringLiteral("cALL")), letter(last.overall()))
                    .arg(last.overall())
                    .arg(texts.value(QStringLiteral("reads"), QStringLiteral("n")))
                    .arg(c.reads.size()));
        y += line;
        for (const QualityGrade &g : last.grades) {
            text(60, g.name);
            text(700, texts.value(g.key));
            text(1500, QStringLiteral("%1  (%2)").arg(letter(g.grade)).arg(g.grade));
            y += line;
        }
        // The overall grade of each read, oldest on the left, F at the bottom and A at the top.
        const QRect box(left + 60, y + 20, qMin(width - 2 * left - 120, 2000), 300);
        p.setPen(QPen(Qt::gray, 3));
        p.drawRect(box);
        p.setPen(QPen(Qt::black, 6));
        const int n = c.reads.size();
        QPointF prev;
        for (int i = 0; i < n; ++i) {
            const int g = qMax(0, c.reads[i].overall());
            const QPointF pt(box.left() + (n == 1 ? box.width() / 2.0 : box.width() * double(i) / (n - 1)),
                             box.bottom() - box.height() * g / 4.0);
            if (i > 0)
                p.drawLine(prev, pt);
            p.drawEllipse(pt, 6, 6);
            prev = pt;
        }
        y = box.bottom() + line * 2;
    }
    return p.end();
}
