#pragma once
// Small conversions shared by the controls: value strings in and out, number formats and the
// option grid of the multi-option controls.
#include <QString>
#include <QStringList>

class QGridLayout;
class QWidget;

namespace KxControlUtil {

// Decimal integer; anything else (or overflow) gives 0.
int toInt(const QString &text);
qint64 toInt64(const QString &text);
double toReal(const QString &text);
bool isNumber(const QString &text);

// Six significant digits, fixed or exponent notation, whichever is shorter: 0.5, 2.5e+06.
QString formatReal(double v);

// The hexadecimal editor's value: the text with all blanks removed.
QString stripBlanks(const QString &text);
// Hex digits grouped in pairs for display: "010AFF" -> "01 0A FF" (an odd tail stays single).
QString groupHex(const QString &digits);
bool isHexText(const QString &text);

// Rows and columns for n option widgets: rowCount rows when given (> 0), else one row up to
// four options and four columns beyond.
void gridShape(int n, int rowCount, int *rows, int *columns);
void placeInGrid(QGridLayout *grid, const QList<QWidget *> &widgets, int rowCount);

} // namespace KxControlUtil
