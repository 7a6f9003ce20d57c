#pragma once
// Shared look of the reader dialogs' forms.
#include <QString>

class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace DeviceDlgStyle
{
QString formSheet();
QLabel *formLabel(const QString &key, QWidget *parent);
QLineEdit *formEdit(const char *name, QWidget *parent);
QFormLayout *formLayout(QWidget *content);
} // namespace DeviceDlgStyle
