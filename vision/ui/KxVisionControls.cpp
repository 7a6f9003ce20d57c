#include "KxVisionControls.h"

#include "KxOptionControls.h"
#include "KxControlCreator.h"
#include "KxSwitchControls.h"
#include "KxTextControls.h"

#include "KxI18nUtil.h"
#include "KxUiService.h"
#include "KxVisionResource.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QToolButton>
#include <QUuid>
#include <QVBoxLayout>

KxZuRectangleBox::KxZuRectangleBox(QObject *parent)
    : KxSpinGroupControl(parent, false, {"X", "Y", "W", "H"}, {",", ",", ","}, {"", "", ""})
{
}

QRect KxZuRectangleBox::rect() const
{
    const QStringList p = value().toString().split(QLatin1Char(','));
    return p.size() == 4 ? QRect(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt()) : QRect();
}

void KxZuRectangleBox::setRect(const QRect &r)
{
    setValue(QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
    notifyValueChanged(true);
}

KxColorRange::KxColorRange(QObject *parent)
    : KxSpinGroupControl(parent, false, {"H", "S", "V", "H", "S", "V"}, {",", ",", "|", ",", ","},
                         {"", "", " - ", "", ""})
{
}

// --- choices filled from the editor ---------------------------------------------------------

IKxVisionEditContext *KxVisionChoice::context() const
{
    for (QWidget *w = m_root; w; w = w->parentWidget()) {
        if (auto *c = dynamic_cast<IKxVisionEditContext *>(w))
            return c;
    }
    return nullptr;
}

bool KxVisionChoice::createEditor(QWidget *parent)
{
    m_root = new QWidget(parent);
    auto *column = new QVBoxLayout(m_root);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto *top = new QHBoxLayout, *bottom = new QHBoxLayout;
    m_combo = new QComboBox(m_root);
    m_combo->setMinimumWidth(160);
    m_combo->setMinimumHeight(28);
    top->addWidget(m_combo, 1);
    extend(top, bottom);
    column->addLayout(top);
    if (bottom->count() > 0) {
        bottom->addStretch(1);
        column->addLayout(bottom);
    } else {
        delete bottom;
    }
    connect(m_combo, QOverload<int>::of(&QComboBox::activated), this,
            [this](int i) { choose(m_combo->itemData(i).toString(), true); });
    m_value = item() ? item()->value.toString() : QString();
    refill();
    return KxControlBase::createEditor(parent);
}

void KxVisionChoice::refill()
{
    if (!m_combo)
        return;
    const QSignalBlocker block(m_combo);
    m_combo->clear();
    m_combo->addItem(kxTr(noneKey()), QString());
    if (IKxVisionEditContext *c = context()) {
        for (const auto &e : entries(c))
            m_combo->addItem(e.second, e.first);
    }
    choose(m_value, false);
}

void KxVisionChoice::choose(const QString &value, bool notify)
{
    const bool changed = value != m_value;
    m_value = value;
    if (m_combo) {
        const QSignalBlocker block(m_combo);
        int at = m_combo->findData(value);
        if (at < 0) {
            m_combo->addItem(QStringLiteral("%1 ?").arg(value), value);
            at = m_combo->count() - 1;
        }
        m_combo->setCurrentIndex(at);
    }
    chosen();
    if (notify && changed)
        notifyValueChanged(true);
}

void KxVisionChoice::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    choose(v.toString(), false);
}

QVariant KxVisionChoice::value() const
{
    return m_value;
}

QList<QPair<QString, QString>> KxZuKitLocatorContext::entries(IKxVisionEditContext *c) const
{
    QList<QPair<QString, QString>> out;
    for (const auto &n : c->locatorsBefore())
        out << qMakePair(QString::number(n.first), QStringLiteral("%1  %2").arg(n.first).arg(n.second));
    return out;
}

// --- resources of the camera's store --------------------------------------------------------

KxZuKitResourceChoice::KxZuKitResourceChoice(QObject *parent, const QString &kind)
    : KxVisionChoice(parent), m_kind(kind)
{
}

QString KxZuKitResourceChoice::noneKey() const
{
    return m_kind == QLatin1String("template") ? QStringLiteral("#IDS_ZuTmplNone") : QStringLiteral("#IDS_ZuModelNone");
}

QList<QPair<QString, QString>> KxZuKitResourceChoice::entries(IKxVisionEditContext *c) const
{
    QList<QPair<QString, QString>> out;
    KxVisionResource *res = c->visionResource();
    if (!res)
        return out;
    // The list follows the store: a template loaded from another node shows here too.
    connect(res, &KxVisionResource::resourcesChanged, this, &KxVisionChoice::refill, Qt::UniqueConnection);
    for (const VisionResGroup &g : res->groups()) {
        for (const VisionResInfo &e : g.entries) {
            if (e.kind == m_kind)
                out << qMakePair(e.uuid, QStringLiteral("%1 / %2").arg(g.name, e.name));
        }
    }
    return out;
}

void KxZuKitResourceChoice::extend(QHBoxLayout *top, QHBoxLayout *row)
{
    const bool templ = m_kind == QLatin1String("template");
    if (templ) {
        m_thumb = new QLabel(m_root);
        m_thumb->setFixedSize(40, 30);
        m_thumb->setAlignment(Qt::AlignCenter);
        m_thumb->setStyleSheet(QStringLiteral("border:1px solid #dbdbdb;background:#f9f9f9;"));
        top->addWidget(m_thumb);
    }
    auto *load = new QToolButton(m_root);
    load->setObjectName(QStringLiteral("btnLoad"));
    load->setText(kxTr(templ ? QStringLiteral("#IDS_ZuTmplLoad") : QStringLiteral("#IDS_ZuModelLoad")));
    row->addWidget(load);
    connect(load, &QToolButton::clicked, this, &KxZuKitResourceChoice::loadFile);
    if (templ) {
        auto *cut = new QToolButton(m_root);
        cut->setObjectName(QStringLiteral("btnFromImage"));
        cut->setText(kxTr(QStringLiteral("#IDS_ZuTmplFromImage")));
        row->addWidget(cut);
        connect(cut, &QToolButton::clicked, this, &KxZuKitResourceChoice::fromImage);
    }
}

void KxZuKitResourceChoice::chosen()
{
    if (!m_thumb)
        return;
    m_thumb->clear();
    IKxVisionEditContext *c = context();
    KxVisionResource *res = c ? c->visionResource() : nullptr;
    if (!res || m_value.isEmpty() || !res->entry(m_value))
        return;
    QPointer<QLabel> thumb(m_thumb);
    const QString wanted = m_value;
    QPointer<KxZuKitResourceChoice> self(this);
    res->templateFile(m_value, true, [thumb, self, wanted](const QString &path) {
        if (!thumb || !self || self->m_value != wanted || path.isEmpty())
            return;
        thumb->setPixmap(QPixmap(path).scaled(thumb->size() - QSize(2, 2), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
}

void KxZuKitResourceChoice::upload(const QByteArray &data, const QString &name, const QString &imgType)
{
    IKxVisionEditContext *c = context();
    KxVisionResource *res = c ? c->visionResource() : nullptr;
    if (!res || data.isEmpty())
        return;
    const bool templ = m_kind == QLatin1String("template");
    const VisionResGroup group{templ ? QStringLiteral("templates") : QStringLiteral("models"),
                               templ ? QStringLiteral("Templates") : QStringLiteral("Models"), {}};
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const VisionResInfo entry{uuid, name, QStringLiteral("/") + group.uuid, QStringLiteral("admin"),
                              group.uuid, m_kind, imgType};
    QPointer<KxZuKitResourceChoice> self(this);
    res->load(m_kind, group, entry, data, [self, uuid](bool ok, const QString &why) {
        if (!ok) {
            KxUi()->warning(kxTr(QStringLiteral("#IDS_ZuTmplLoad_Failed")) + QStringLiteral("\n") + why,
                            QStringLiteral("#IDS_Tips"));
            return;
        }
        if (self) {
            self->refill();
            self->choose(uuid, true);
        }
    });
}

void KxZuKitResourceChoice::loadFile()
{
    const bool templ = m_kind == QLatin1String("template");
    const QString path = KxUi()->getOpenFileName(kxTr(templ ? QStringLiteral("#IDS_ZuTmplLoad") : QStringLiteral("#IDS_ZuModelLoad")),
                                                 QString(),
                                                 kxTr(templ ? QStringLiteral("#IDS_ZuTmplFilter") : QStringLiteral("#IDS_ZuModelFilter")),
                                                 m_root);
    if (path.isEmpty())
        return;
    QFile f(path);
    const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    if (data.isEmpty()) {
        KxUi()->warning(kxTr(QStringLiteral("#IDS_ZuTmplLoad_Failed")) + QStringLiteral("\n") + path, QStringLiteral("#IDS_Tips"));
        return;
    }
    QString type = QFileInfo(path).suffix().toUpper();
    if (type == QLatin1String("JPEG"))
        type = QStringLiteral("JPG");
    upload(data, QFileInfo(path).completeBaseName(), type);
}

void KxZuKitResourceChoice::fromImage()
{
    IKxVisionEditContext *c = context();
    if (!c)
        return;
    const QRect r = c->drawnRect().intersected(c->shownImage().rect());
    if (r.width() < 4 || r.height() < 4) {
        KxUi()->warning(QStringLiteral("#IDS_ZuTmplNoRegion_Tips"), QStringLiteral("#IDS_Tips"));
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    c->shownImage().copy(r).save(&buffer, "PNG");
    upload(png, QStringLiteral("T%1x%2@%3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()), QStringLiteral("PNG"));
}

// --- sending results ------------------------------------------------------------------------

KxZuKitSendTC::KxZuKitSendTC(QObject *parent) : KxControlBase(parent) {}

bool KxZuKitSendTC::createEditor(QWidget *parent)
{
    m_root = new QWidget(parent);
    auto *row = new QHBoxLayout(m_root);
    row->setContentsMargins(0, 0, 0, 0);
    m_send = new QCheckBox(kxTr(QStringLiteral("#IDS_ZuSendOn")), m_root);
    m_end = new QComboBox(m_root);
    m_end->setMinimumHeight(28);
    m_end->addItem(kxTr(QStringLiteral("#IDS_ZuOpt_EndNone")), QStringLiteral("NONE"));
    for (const char *e : {"CR", "LF", "CRLF"})
        m_end->addItem(QLatin1String(e), QLatin1String(e));
    row->addWidget(m_send);
    row->addWidget(m_end, 1);
    setValue(item() ? item()->value : QVariant());
    connect(m_send, &QCheckBox::toggled, this, [this](bool on) {
        m_end->setEnabled(on);
        notifyValueChanged(true);
    });
    connect(m_end, QOverload<int>::of(&QComboBox::activated), this, [this] { notifyValueChanged(true); });
    return KxControlBase::createEditor(parent);
}

void KxZuKitSendTC::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_send)
        return;
    const QStringList p = v.toString().split(QLatin1Char('|'));
    const QSignalBlocker b1(m_send), b2(m_end);
    m_send->setChecked(p.value(0) == QLatin1String("1"));
    const int at = m_end->findData(p.value(1));
    m_end->setCurrentIndex(at < 0 ? m_end->findData(QStringLiteral("CRLF")) : at);
    m_end->setEnabled(m_send->isChecked());
}

QVariant KxZuKitSendTC::value() const
{
    if (!m_send)
        return QVariant();
    return QStringLiteral("%1|%2").arg(m_send->isChecked() ? 1 : 0).arg(m_end->currentData().toString());
}

namespace {
template <class T>
void add(const char *type, const char *returnType)
{
    KxControlCreator::instance()->registerControl(
        QString::fromLatin1(type), [](QWidget *parent) -> KxControlBase * { return new T(parent); },
        [](KxControlBase *c) { delete c; }, QString::fromLatin1(returnType));
}
}  // namespace

void KxVisionControls::registerAll()
{
    add<KxZuRectangleBox>("ZuRectangleBox", "rect_int");
    add<KxColorRange>("ColorRange", "color_range");
    // Kit inputs name another node's output ("0.image"); a line edit holds them.
    add<KxLineEdit>("ZuKitInputEdit", "");
    add<KxCheckBox>("ZuKitCheckBox", "");
    add<KxToggleButtonPrivate>("ZuKitBenchMarkToggle", "int");
    add<KxZuKitLocatorContext>("ZuKitLocatorContext", "");
    add<KxZuKitTmpl>("ZuKitTmpl", "");
    add<KxZuKitModel>("ZuKitModel", "");
    add<KxZuKitSendTC>("ZuKitSendTC", "");
}
