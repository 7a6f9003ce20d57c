#include "EditIcons.h"

#include "KxI18nUtil.h"

#include <QButtonGroup>
#include <QDebug>
#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QHBoxLayout>
#include <QPixmap>
#include <QToolButton>

namespace {
QBasicMutex s_mutex;
bool s_tried = false;
QString s_family;

QString family()
{
    QMutexLocker lock(&s_mutex);
    if (!s_tried) {
        s_tried = true;
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/libcore_res/font/fontawesome-webfont.ttf"));
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty())
            qWarning() << "EditIcons::family()...icon font not available";
        else
            s_family = families.first();
    }
    return s_family;
}

QPixmap glyphPixmap(QChar glyph, int size, const QColor &color, qreal dpr)
{
    const int side = qMax(1, qRound(size * dpr));
    QPixmap pix(side, side);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QFont f(family());
    f.setPixelSize(qMax(1, side * 7 / 8));
    f.setStyleStrategy(QFont::PreferAntialias);
    p.setFont(f);
    p.setPen(color);
    p.drawText(pix.rect(), Qt::AlignCenter, QString(glyph));
    p.end();
    pix.setDevicePixelRatio(dpr);
    return pix;
}
}  // namespace

namespace EditIcons {

QChar glyphFor(const QString &name)
{
    static const QHash<QString, ushort> glyphs = {
        // edit frame tool bar (layout icon names)
        {"mainpage", 0xf015}, {"settings", 0xf013}, {"tools", 0xf0ad}, {"configlib", 0xf1c0},
        {"quick", 0xf0e7}, {"advanced", 0xf1de},
        // advanced settings navigation
        {"nav_comm", 0xf0ec}, {"nav_read", 0xf02a}, {"nav_image", 0xf030}, {"nav_area", 0xf125},
        {"nav_barcode", 0xf029}, {"nav_output", 0xf08b}, {"nav_system", 0xf085},
        {"nav_tools", 0xf0ad},
        // advanced settings tool bar
        {"Id_Btn_ImportCfg", 0xf019}, {"Id_Btn_ExportCfg", 0xf093}, {"Id_Btn_SearchCmd", 0xf002},
        {"Id_Btn_ConfigHistory", 0xf1da}, {"Id_Btn_SendCmd", 0xf120}, {"Id_Btn_Default", 0xf0e2},
        {"Id_Btn_SaveToDevice", 0xf0c7}, {"Id_Btn_DeviceLog", 0xf15c},
    };
    const auto it = glyphs.constFind(name);
    return it == glyphs.constEnd() ? QChar() : QChar(it.value());
}

bool fontAvailable()
{
    return !family().isEmpty();
}

QIcon icon(const QString &name, int size, const QColor &color, const QColor &checkedColor)
{
    const QString shipped = QStringLiteral(":/res/control/%1.png").arg(name);
    if (QFile::exists(shipped)) {
        QIcon ic(shipped);
        const QString checked = QStringLiteral(":/res/control/%1_checked.png").arg(name);
        if (QFile::exists(checked))
            ic.addFile(checked, QSize(), QIcon::Normal, QIcon::On);
        return ic;
    }
    const QChar glyph = glyphFor(name);
    if (glyph.isNull() || !fontAvailable())
        return QIcon();
    QIcon ic;
    for (const qreal dpr : {1.0, 2.0}) {
        ic.addPixmap(glyphPixmap(glyph, size, color, dpr), QIcon::Normal, QIcon::Off);
        ic.addPixmap(glyphPixmap(glyph, size, checkedColor, dpr), QIcon::Normal, QIcon::On);
        ic.addPixmap(glyphPixmap(glyph, size, checkedColor, dpr), QIcon::Active, QIcon::Off);
        ic.addPixmap(glyphPixmap(glyph, size, checkedColor, dpr), QIcon::Active, QIcon::On);
        ic.addPixmap(glyphPixmap(glyph, size, QColor(0xbf, 0xbf, 0xbf), dpr), QIcon::Disabled);
    }
    return ic;
}

namespace {
const char *const kToolbarStyle =
    "#widgetToolbar{background:#ffffff; border-bottom:1px solid #dbdbdb;}"
    "#widgetToolbar QToolButton{border:none; background:transparent; color:#1f1f1f; font-size:14px;"
    " padding:4px 8px;}"
    "#widgetToolbar QToolButton:checked{color:#0c3484; border-bottom:2px solid #0c3484;}"
    "#widgetToolbar QToolButton:hover{color:#0c3484;}"
    "#widgetToolbar QToolButton::menu-indicator{image:none;}"
    "#btnUnsaved{color:#595959; font-size:13px;}";
}  // namespace

QWidget *makeToolbar(QWidget *parent, QHBoxLayout **layout)
{
    auto *bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("widgetToolbar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setStyleSheet(QLatin1String(kToolbarStyle));
    auto *l = new QHBoxLayout(bar);
    l->setContentsMargins(24, 0, 24, 0);
    l->setSpacing(16);
    *layout = l;
    return bar;
}

QToolButton *addToolButton(QWidget *bar, QHBoxLayout *layout, QButtonGroup *group, const QString &id,
                           const QString &textKey, const QString &iconName)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(id);
    b->setText(kxTr(textKey));
    b->setCheckable(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIcon(icon(iconName, 16, QColor(0x1f, 0x1f, 0x1f), QColor(0x0c, 0x34, 0x84)));
    b->setIconSize(QSize(16, 16));
    b->setCursor(Qt::PointingHandCursor);
    group->addButton(b);
    layout->addWidget(b);
    return b;
}

}  // namespace EditIcons
