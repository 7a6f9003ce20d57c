#include "KxControlUtil.h"

#include <QGridLayout>
#include <QWidget>
#include <cmath>

namespace KxControlUtil {

int toInt(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

qint64 toInt64(const QString &text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    return ok ? v : 0;
}

double toReal(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

bool isNumber(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v);
}

QString formatReal(double v)
{
    return QString::number(v, 'g', 6);
}

QString stripBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace())
            out.append(c);
    }
    return out;
}

QString groupHex(const QString &digits)
{
    QString out;
    out.reserve(digits.size() + digits.size() / 2);
    for (int i = 0; i < digits.size(); ++i) {
        if (i > 0 && i % 2 == 0)
            out.append(QLatin1Char(' '));
        out.append(digits.at(i));
    }
    return out;
}

bool isHexText(const QString &text)
{
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        const ushort u = c.unicode();
        const bool hex = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!hex)
            return false;
    }
    return true;
}

void gridShape(int n, int rowCount, int *rows, int *columns)
{
    if (n <= 0) {
        *rows = *columns = 0;
        return;
    }
    if (rowCount > 0) {
        *rows = qMin(rowCount, n);
        *columns = (n + *rows - 1) / *rows;
    } else {
        *columns = qMin(n, 4);
        *rows = (n + *columns - 1) / *columns;
    }
}

void placeInGrid(QGridLayout *grid, const QList<QWidget *> &widgets, int rowCount)
{
    int rows = 0;
    int columns = 0;
    gridShape(widgets.size(), rowCount, &rows, &columns);
    for (int i = 0; i < widgets.size(); ++i)
        grid->addWidget(widgets.at(i), i / columns, i % columns);
    grid->setColumnStretch(columns, 1);
}

} // namespace KxControlUtil
