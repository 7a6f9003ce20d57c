#include "KxTagTable.h"

#include <QFile>

#include <xlsxwriter.h>

bool KxTagTable::Filter::accepts(const KxTagRow &row) const
{
    if (antenna > 0 && (antenna > 31 || !(row.antennas & (1u << antenna))))
        return false;
    if (row.rssi < minRssi)
        return false;
    return epc.isEmpty() || row.epcHex().contains(epc.trimmed(), Qt::CaseInsensitive);
}

int KxTagTable::add(const QList<STRUCT_TAG_INFO> &tags, const QDateTime &now)
{
    int added = 0;
    for (const STRUCT_TAG_INFO &t : tags) {
        auto it = m_index.constFind(t.epc);
        int i = 0;
        if (it == m_index.constEnd()) {
            i = m_rows.size();
            KxTagRow row;
            row.epc = t.epc;
            row.firstSeen = now;
            m_rows.append(row);
            m_index.insert(t.epc, i);
            ++added;
        } else {
            i = it.value();
        }
        KxTagRow &row = m_rows[i];
        ++row.count;
        row.rssi = t.rssi;
        row.bestRssi = qMax(row.bestRssi, t.rssi);
        row.antenna = t.antenna;
        if (t.antenna > 0 && t.antenna < 32)
            row.antennas |= 1u << t.antenna;
        row.lastSeen = now;
    }
    m_reads += tags.size();
    return added;
}

void KxTagTable::clear()
{
    m_rows.clear();
    m_index.clear();
    m_reads = 0;
}

QList<int> KxTagTable::filtered(const Filter &filter) const
{
    QList<int> out;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (filter.accepts(m_rows.at(i)))
            out << i;
    }
    return out;
}

bool KxTagTable::exportXlsx(const QString &path, const QList<int> &rows, QString *error) const
{
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook *book = workbook_new(file.constData());
    if (!book) {
        *error = QStringLiteral("cannot create %1").arg(path);
        return false;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Tags");
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    bool ok = sheet != nullptr;
    const char *head[] = {"EPC", "Count", "RSSI (dBm)", "Best RSSI (dBm)", "Antenna", "First seen",
                          "Last seen"};
    for (int c = 0; ok && c < 7; ++c)
        ok = worksheet_write_string(sheet, 0, lxw_col_t(c), head[c], bold) == LXW_NO_ERROR;
    lxw_row_t r = 1;
    for (int i : rows) {
        if (!ok || i < 0 || i >= m_rows.size())
            continue;
        const KxTagRow &row = m_rows.at(i);
        const QByteArray first = row.firstSeen.toString(Qt::ISODateWithMs).toUtf8();
        const QByteArray last = row.lastSeen.toString(Qt::ISODateWithMs).toUtf8();
        ok = worksheet_write_string(sheet, r, 0, row.epcHex().toLatin1().constData(), nullptr) == LXW_NO_ERROR
            && worksheet_write_number(sheet, r, 1, double(row.count), nullptr) == LXW_NO_ERROR
            && worksheet_write_number(sheet, r, 2, row.rssi, nullptr) == LXW_NO_ERROR
            && worksheet_write_number(sheet, r, 3, row.bestRssi, nullptr) == LXW_NO_ERROR
            && worksheet_write_number(sheet, r, 4, row.antenna, nullptr) == LXW_NO_ERROR
            && worksheet_write_string(sheet, r, 5, first.constData(), nullptr) == LXW_NO_ERROR
            && worksheet_write_string(sheet, r, 6, last.constData(), nullptr) == LXW_NO_ERROR;
        ++r;
    }
    // A bad path only shows when the workbook is closed.
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, QString::fromLatin1(lxw_strerror(closed)));
        return false;
    }
    if (!ok)
        *error = QStringLiteral("cannot write the tags into %1").arg(path);
    return ok;
}
