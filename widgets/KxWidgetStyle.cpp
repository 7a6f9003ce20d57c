#include "KxWidgetStyle.h"

namespace KxStyle
{

QString dialogSheet()
{
    return QStringLiteral(
               "QFrame#frameDialog{background:%1;border:1px solid #b9c1cd;}"
               "QWidget#widgetTitle{background:%1;border-bottom:1px solid #ebeef3;}"
               "QLabel#labTitle{color:%2;font-size:13px;font-weight:bold;}"
               "QToolButton#btnMenu_Close{border:none;border-radius:3px;background:transparent;}"
               "QToolButton#btnMenu_Close:hover{background:#f2d6d6;}"
               "QWidget#widgetButtons{background:%1;}")
        .arg(QLatin1String(Surface), QLatin1String(Text));
}

QString pushButtonSheet()
{
    return QStringLiteral(
               "KxPushButton{background:%1;border:1px solid %2;border-radius:4px;color:%3;"
               "padding:0 16px;min-width:56px;min-height:28px;}"
               "KxPushButton:hover{border-color:%4;color:%4;}"
               "KxPushButton:pressed{background:%5;}"
               "KxPushButton:disabled{color:#a3a9b3;border-color:#e6e6e6;background:#f4f4f4;}"
               "KxPushButton[kind=\"primary\"]{background:%4;border-color:%4;color:#ffffff;}"
               "KxPushButton[kind=\"primary\"]:hover{background:%6;border-color:%6;color:#ffffff;}"
               "KxPushButton[kind=\"primary\"]:pressed{background:%7;}"
               "KxPushButton[kind=\"primary\"]:disabled{background:#9aa7c2;border-color:#9aa7c2;}"
               "KxPushButton[kind=\"danger\"]{background:%8;border-color:%8;color:#ffffff;}"
               "KxPushButton[kind=\"danger\"]:hover{background:#d84040;border-color:#d84040;}")
        .arg(QLatin1String(ButtonFace), QLatin1String(Border), QLatin1String(Text),
             QLatin1String(Accent), QLatin1String(AccentSoft), QLatin1String(AccentHover),
             QLatin1String(AccentPressed), QLatin1String(Danger));
}

QString toolButtonSheet()
{
    return QStringLiteral(
               "KxToolButton{background:transparent;border:1px solid transparent;border-radius:4px;"
               "color:%1;padding:3px 6px;}"
               "KxToolButton:hover{background:%2;border-color:%3;}"
               "KxToolButton:checked{background:%4;border-color:%5;color:%5;}"
               "KxToolButton:disabled{color:#a3a9b3;}")
        .arg(QLatin1String(Text), QLatin1String(ButtonFace), QLatin1String(Border),
             QLatin1String(AccentSoft), QLatin1String(Accent));
}

} // namespace KxStyle
