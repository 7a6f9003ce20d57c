#pragma once
// Windows that later work builds: each says on screen that it is not available yet and does
// nothing else, so nobody mistakes it for a working tool.
#include "NDialogEx.h"

// A tool window that later work builds; `lines` shows what it was given.
class EditToolPlaceholderDlg : public NDialogEx
{
    Q_OBJECT
public:
    EditToolPlaceholderDlg(const QString &titleKey, const QStringList &lines, QWidget *parent = nullptr);
    QStringList lines() const { return m_lines; }

private:
    QStringList m_lines;
};
