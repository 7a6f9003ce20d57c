#include "KxXls.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include <xlsxwriter.h>

bool KxXls::exportExcel(const QString &path, const QStringList &head, const QList<QStringList> &rows)
{
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook *book = workbook_new(file.constData());
    if (!book)
        return false;
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    bool ok = sheet != nullptr;
    for (int c = 0; ok && c < head.size(); ++c)
        ok = worksheet_write_string(sheet, 0, lxw_col_t(c), head[c].toUtf8().constData(), bold)
            == LXW_NO_ERROR;
    for (int r = 0; ok && r < rows.size(); ++r) {
        const QStringList &row = rows[r];
        for (int c = 0; ok && c < row.size(); ++c) {
            if (row[c].isEmpty())
                continue;
            ok = worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(c),
                                        row[c].toUtf8().constData(), nullptr)
                == LXW_NO_ERROR;
        }
    }
    // A bad path only shows when the workbook is closed.
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        qWarning() << "KxXls::exportExcel()..." << path << lxw_strerror(closed);
        return false;
    }
    return ok;
}

QString KxXls::tableText(const QList<QStringList> &rows)
{
    QString out;
    for (const QStringList &row : rows) {
        QStringList cells = row;
        for (QString &cell : cells) {
            cell.replace(QLatin1Char('\t'), QLatin1Char(' '));
            cell.replace(QLatin1Char('\r'), QLatin1Char(' '));
            cell.replace(QLatin1Char('\n'), QLatin1Char(' '));
        }
        out += cells.join(QLatin1Char('\t'));
        out += QLatin1String("\r\n");
    }
    return out;
}

bool KxXls::exportText(const QString &path, const QString &text)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(text.toUtf8());
    return f.commit();
}
