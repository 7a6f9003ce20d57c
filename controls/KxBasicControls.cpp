#include "KxBasicControls.h"

#include "IKxBusyQuery.h"
#include "KxControlUtil.h"
#include "KxI18nUtil.h"
#include "KxUiService.h"
#include "KxWidgetStyle.h"

#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QSpinBox>

// --- label ----------------------------------------------------------------------------------

QWidget *KxLabel::editorWidget() const
{
    return m_text;
}

bool KxLabel::createEditor(QWidget *parent)
{
    m_text = new QLabel(parent);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setMinimumHeight(28);
    setValue(item()->value);
    return KxControlBase::createEditor(parent);
}

void KxLabel::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_text)
        return;
    const QString s = v.toString();
    const int colon = s.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        m_text->setObjectName(s);
        m_text->setText(s);
    } else {
        m_text->setObjectName(s.left(colon));
        m_text->setText(kxTr(s.mid(colon + 1)));
    }
}

QVariant KxLabel::value() const
{
    return m_text ? QVariant(m_text->objectName()) : QVariant();
}

QVariant KxLabel::displayValue() const
{
    return m_text ? QVariant(m_text->text()) : QVariant();
}

// --- button ---------------------------------------------------------------------------------

namespace {
IKxBusyQuery *g_busyQuery = nullptr;
QStringList g_imagePaths;
QMutex g_imagePathsMutex;
} // namespace

void KxButton::setBusyQuery(IKxBusyQuery *query)
{
    g_busyQuery = query;
}

IKxBusyQuery *KxButton::busyQuery()
{
    return g_busyQuery;
}

QWidget *KxButton::editorWidget() const
{
    return m_box;
}

bool KxButton::createEditor(QWidget *parent)
{
    m_box = new QWidget(parent);
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    QList<KxFeatureInfo> options = item()->options();
    if (options.isEmpty()) // a button without options still needs a face
        options.append(KxFeatureInfo{QString(), item()->value.toString(), titleText()});
    const QString sheet =
        QStringLiteral("QPushButton{background:%1;border:1px solid %2;border-radius:4px;"
                       "padding:0 16px;color:#1f1f1f;}QPushButton:hover{border-color:%3;color:%3;}"
                       "QPushButton:pressed{background:%4;}QPushButton:disabled{color:#9a9a9a;}")
            .arg(QLatin1String(KxStyle::ButtonFace), QLatin1String(KxStyle::Border),
                 QLatin1String(KxStyle::Accent), QLatin1String(KxStyle::AccentSoft));
    for (const KxFeatureInfo &f : options) {
        auto *b = new QPushButton(f.text.toString(), m_box);
        b->setObjectName(f.key);
        b->setCursor(Qt::PointingHandCursor);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedHeight(30);
        b->setMinimumWidth(96);
        b->setStyleSheet(sheet);
        connect(b, &QPushButton::clicked, this, [this, b]() { onClicked(b); });
        row->addWidget(b);
        m_buttons.append(b);
    }
    row->addStretch(1);
    m_current = m_buttons.value(0);
    return KxControlBase::createEditor(parent);
}

void KxButton::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    for (QPushButton *b : m_buttons) {
        if (b->objectName() == v.toString())
            m_current = b;
    }
}

QVariant KxButton::value() const
{
    return m_box && m_current ? QVariant(m_current->objectName()) : QVariant();
}

QVariant KxButton::displayValue() const
{
    return m_current ? QVariant(m_current->text()) : QVariant();
}

void KxButton::onClicked(QPushButton *button)
{
    if (g_busyQuery && g_busyQuery->isDeviceBusy()) {
        KxMessageRequest req;
        req.type = KxMsgType::Information;
        req.title = QStringLiteral("#IDS_Tips");
        req.text = QStringLiteral("#ID_ButtonClick_INFO");
        req.buttons = QStringLiteral("#IDS_MessageBox_OK");
        req.width = 350;
        req.parent = m_box;
        KxUi()->message(req);
        return;
    }
    m_current = button;
    QVariantMap params{{QStringLiteral("id"), button->objectName()},
                       {QStringLiteral("text"), button->text()}};
    if (itemParam(QStringLiteral("sync")).toString() == QLatin1String("0"))
        params.insert(QStringLiteral("sync"), QStringLiteral("0"));
    notifyCustomChanged(QStringLiteral("ButtonClicked"), params, true);
}

// --- panel ----------------------------------------------------------------------------------

QWidget *KxPanel::editorWidget() const
{
    return m_panel;
}

bool KxPanel::createEditor(QWidget *parent)
{
    m_panel = new QWidget(parent);
    m_panel->setObjectName(QStringLiteral("kxPanel"));
    m_panel->setAttribute(Qt::WA_StyledBackground);
    m_panel->setStyleSheet(QStringLiteral("#kxPanel{background:#f6f7f9;border:1px solid %1;"
                                          "border-radius:4px;}")
                               .arg(QLatin1String(KxStyle::Border)));
    m_panel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return KxControlBase::createEditor(parent);
}

QVariant KxPanel::value() const
{
    return m_panel ? QVariant(QString()) : QVariant();
}

// --- image ----------------------------------------------------------------------------------

void KxImage::setSearchPaths(const QStringList &dirs)
{
    QMutexLocker lock(&g_imagePathsMutex);
    g_imagePaths = dirs;
}

QStringList KxImage::searchPaths()
{
    QMutexLocker lock(&g_imagePathsMutex);
    return g_imagePaths;
}

QWidget *KxImage::editorWidget() const
{
    return m_image;
}

bool KxImage::createEditor(QWidget *parent)
{
    m_image = new QLabel(parent);
    m_image->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QString name = item()->userData;
    QString path;
    if (!name.isEmpty()) {
        if (QFileInfo(name).isAbsolute() || name.startsWith(QLatin1Char(':'))) {
            path = name;
        } else {
            for (const QString &dir : searchPaths()) {
                const QString candidate = QDir(dir).filePath(name);
                if (QFileInfo::exists(candidate)) {
                    path = candidate;
                    break;
                }
            }
        }
    }
    QPixmap pm;
    if (!path.isEmpty() && pm.load(path)) {
        const int maxH = qMax(intAttr(QStringLiteral("MaxHeight"), 0), intAttr(QStringLiteral("MinHeight"), 0));
        if (maxH > 0 && pm.height() > maxH)
            pm = pm.scaledToHeight(maxH, Qt::SmoothTransformation);
        m_image->setPixmap(pm);
    } else if (!name.isEmpty()) {
        qWarning() << "KxImage::createEditor()..." << itemId() << "image not found:" << name;
    }
    return KxControlBase::createEditor(parent);
}

bool KxImage::hasImage() const
{
    return m_image && !m_image->pixmap(Qt::ReturnByValue).isNull();
}

QVariant KxImage::value() const
{
    return QVariant();
}

// --- IPv4 -----------------------------------------------------------------------------------

QWidget *KxIPV4::editorWidget() const
{
    return m_box;
}

bool KxIPV4::createEditor(QWidget *parent)
{
    m_box = new QWidget(parent);
    m_box->setObjectName(QStringLiteral("kxIpv4"));
    m_box->setAttribute(Qt::WA_StyledBackground);
    m_box->setStyleSheet(QStringLiteral("#kxIpv4{background:#ffffff;border:1px solid %1;border-radius:3px;}"
                                        "#kxIpv4 QLineEdit{border:none;background:transparent;}")
                             .arg(QLatin1String(KxStyle::Border)));
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(0);
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            row->addWidget(new QLabel(QStringLiteral("."), m_box));
        auto *f = new QLineEdit(m_box);
        f->setValidator(new QIntValidator(0, 255, f));
        f->setMaxLength(3);
        f->setAlignment(Qt::AlignCenter);
        f->setFixedWidth(40);
        f->setMinimumHeight(26);
        f->installEventFilter(this);
        connect(f, &QLineEdit::textEdited, this, [this, f](const QString &t) {
            // Three digits complete a field: move on like a hardware address editor.
            const int idx = m_fields.indexOf(f);
            if (t.size() == 3 && idx >= 0 && idx < 3) {
                m_fields.at(idx + 1)->setFocus();
                m_fields.at(idx + 1)->selectAll();
            }
        });
        connect(f, &QLineEdit::editingFinished, this, [this]() {
            const QString v = value().toString();
            if (v != m_lastNotified) {
                m_lastNotified = v;
                notifyValueChanged(true);
            }
        });
        row->addWidget(f);
        m_fields.append(f);
    }
    m_box->setFixedWidth(4 * 40 + 3 * 8 + 12);
    setValue(item()->value);
    return KxControlBase::createEditor(parent);
}

bool KxIPV4::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const int idx = m_fields.indexOf(qobject_cast<QLineEdit *>(watched));
        if (idx >= 0 && idx < 3 && (key->key() == Qt::Key_Period || key->text() == QLatin1String("."))) {
            m_fields.at(idx + 1)->setFocus();
            m_fields.at(idx + 1)->selectAll();
            return true;
        }
    }
    return KxControlBase::eventFilter(watched, event);
}

void KxIPV4::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    const QStringList parts = v.toString().split(QLatin1Char('.'));
    for (int i = 0; i < m_fields.size(); ++i)
        m_fields.at(i)->setText(parts.size() == 4 ? parts.at(i).trimmed() : QString());
    m_lastNotified = value().toString();
}

QVariant KxIPV4::value() const
{
    if (!m_box)
        return QVariant();
    QStringList parts;
    for (QLineEdit *f : m_fields)
        parts.append(f->text().isEmpty() ? QStringLiteral("0") : QString::number(f->text().toInt()));
    return parts.join(QLatin1Char('.'));
}

// --- vibration --------------------------------------------------------------------------------

QWidget *KxVIBRAT::editorWidget() const
{
    return m_spin;
}

bool KxVIBRAT::createEditor(QWidget *parent)
{
    m_spin = new QSpinBox(parent);
    m_spin->setRange(hasAttr(QStringLiteral("Minimum")) ? intAttr(QStringLiteral("Minimum")) : 0,
                     hasAttr(QStringLiteral("Maximum")) ? intAttr(QStringLiteral("Maximum")) : 10000);
    m_spin->setSingleStep(qMax(1, intAttr(QStringLiteral("Step"), 1)));
    m_spin->setSuffix(QStringLiteral(" ms"));
    m_spin->setMinimumWidth(120);
    m_spin->setMinimumHeight(28);
    setValue(item()->value);
    connect(m_spin, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int v) {
        m_value = QString::number(v);
        notifyValueChanged(true);
    });
    return KxControlBase::createEditor(parent);
}

void KxVIBRAT::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    m_value = v.toString();
    if (m_spin) {
        const bool b = m_spin->blockSignals(true);
        m_spin->setValue(KxControlUtil::toInt(m_value));
        m_spin->blockSignals(b);
    }
}

QVariant KxVIBRAT::value() const
{
    return m_spin ? QVariant(m_value) : QVariant();
}
