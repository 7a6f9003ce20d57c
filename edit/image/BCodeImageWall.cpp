#include "BCodeImageWall.h"

#include "KxI18nUtil.h"

#include <QFileInfo>
#include <QTime>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

BCodeWallItem::BCodeWallItem(const QPixmap &thumb, const QByteArray &imgData,
                             const QByteArray &extData, const QString &fileName, QWidget *parent)
    : QFrame(parent), m_img(imgData), m_ext(extData), m_file(fileName)
{
    setObjectName(QStringLiteral("wallItem"));
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral("#wallItem{background:#ffffff;border:1px solid #dbdbdb;border-radius:3px;}"
                                 "#wallItem:hover{border-color:#0c3484;}"));
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(4, 4, 4, 4);
    l->setSpacing(2);
    auto *pic = new QLabel(this);
    pic->setPixmap(thumb);
    pic->setAlignment(Qt::AlignCenter);
    l->addWidget(pic);
    m_name = new QLabel(this);
    m_name->setStyleSheet(QStringLiteral("color:#595959;font-size:11px;"));
    l->addWidget(m_name);
    setFileName(fileName);
}

void BCodeWallItem::setFileName(const QString &name)
{
    m_file = name;
    // An image not saved to a file shows when it came.
    if (!m_shownAt.isValid())
        m_shownAt = QTime::currentTime();
    const QString shown = name.isEmpty() ? m_shownAt.toString(QStringLiteral("HH:mm:ss.zzz"))
                                         : QFileInfo(name).fileName();
    m_name->setText(m_name->fontMetrics().elidedText(shown, Qt::ElideMiddle, BCodeImageWall::kThumbWidth));
    setToolTip(name);
}

void BCodeWallItem::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked(this);
    QFrame::mousePressEvent(event);
}

BCodeImageWall::BCodeImageWall(QWidget *parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("imageWall"));
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedWidth(kThumbWidth + 30);
    m_content = new QWidget(this);
    m_layout = new QVBoxLayout(m_content);
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->setSpacing(6);
    m_layout->addStretch(1);
    setWidget(m_content);
}

void BCodeImageWall::addImage(const QPixmap &pixmap, const QByteArray &imgData,
                              const QByteArray &extData, const QString &fileName)
{
    const QPixmap thumb = pixmap.scaledToWidth(kThumbWidth, Qt::SmoothTransformation);
    auto *item = new BCodeWallItem(thumb, imgData, extData, fileName, m_content);
    connect(item, &BCodeWallItem::clicked, this, [this](BCodeWallItem *it) {
        emit imageClicked(it->imageData(), it->extData(), it->fileName());
    });
    m_layout->insertWidget(0, item);
    while (count() > kMaxItems) {
        BCodeWallItem *oldest = this->item(count() - 1);
        m_layout->removeWidget(oldest);
        delete oldest;
    }
}

int BCodeImageWall::count() const
{
    return m_layout->count() - 1;  // the stretch stays last
}

BCodeWallItem *BCodeImageWall::item(int i) const
{
    if (i < 0 || i >= count())
        return nullptr;
    return qobject_cast<BCodeWallItem *>(m_layout->itemAt(i)->widget());
}

void BCodeImageWall::clear()
{
    while (count() > 0) {
        BCodeWallItem *it = item(0);
        m_layout->removeWidget(it);
        delete it;
    }
}

void BCodeImageWall::onSaveFinished(bool success, const QString &savePath, bool)
{
    // The saver names files itself: the item whose name the path ends with takes the full path.
    const QString base = QFileInfo(savePath).completeBaseName();
    for (int i = 0; i < count(); ++i) {
        BCodeWallItem *it = item(i);
        if (!base.isEmpty() && QFileInfo(it->fileName()).completeBaseName() == base) {
            it->setFileName(success ? savePath : it->fileName() + QStringLiteral(" (!)"));
            break;
        }
    }
}
