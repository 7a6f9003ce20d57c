#pragma once
// Writing result tables to files: a real .xlsx workbook (one sheet, the head in bold, every
// cell as text) or plain text with tab-separated cells and CR LF line ends.
#include <QList>
#include <QStringList>

namespace KxXls {
bool exportExcel(const QString &path, const QStringList &head, const QList<QStringList> &rows);
// Cells joined by a tab, rows ended by "\r\n". Tabs and line breaks inside a cell become
// spaces, so every row stays one line of the same columns.
QString tableText(const QList<QStringList> &rows);
bool exportText(const QString &path, const QString &text);
}
