#include "KxPageViewer.h"

#include "KxBasicControls.h"
#include "KxControlBase.h"
#include "KxI18nUtil.h"
#include "KxPageLoader.h"
#include "KxPropertyWidget.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTextStream>
#include <QVBoxLayout>

KxPageViewer::KxPageViewer(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_property = new KxPropertyWidget(this);
    m_property->setObjectName(QStringLiteral("pageViewer"));
    m_property->setShowChanged(true);
    m_status = new QLabel(this);
    m_status->setContentsMargins(12, 6, 12, 6);
    m_status->setStyleSheet(QStringLiteral("color:#6b7380;border-top:1px solid #dbdbdb;"));
    layout->addWidget(m_property, 1);
    layout->addWidget(m_status);
    setStyleSheet(QStringLiteral("KxPageViewer{background:#ffffff;}"));
    setAttribute(Qt::WA_StyledBackground);

    connect(m_property, &KxPropertyWidget::valueChanged, this, [this](const QString &id) {
        const QVariant v = m_property->controlValue(id);
        m_status->setText(QStringLiteral("%1 = %2").arg(id, v.toString()));
        QTextStream(stdout) << "changed " << id << " = " << v.toString() << Qt::endl;
    });
    connect(m_property, &KxPropertyWidget::customChanged, this,
            [this](const QString &type, const QVariant &params) {
                const QVariantMap m = params.toMap();
                m_status->setText(QStringLiteral("%1 %2").arg(type, m.value(QStringLiteral("id")).toString()));
                QTextStream(stdout) << "custom " << type << " " << m.value(QStringLiteral("id")).toString()
                                    << Qt::endl;
            });
}

KxPageViewer::~KxPageViewer()
{
    // The widget must let go of the description before it is freed.
    m_property->setProperty(static_cast<KxPagesInfo *>(nullptr));
}

QString KxPageViewer::resolveModelDir(const QString &model, const QString &appDir)
{
    if (QFileInfo(model).isDir())
        return QFileInfo(model).absoluteFilePath();
    return QDir(appDir).filePath(QStringLiteral("models/barcodesetting/%1").arg(model));
}

QString KxPageViewer::resolvePageFile(const QString &modelDir, const QString &page)
{
    if (QFileInfo(page).isFile())
        return QFileInfo(page).absoluteFilePath();
    QString name = page;
    if (!name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        name += QStringLiteral(".xml");
    return QDir(modelDir).filePath(QStringLiteral("pages/%1").arg(name));
}

bool KxPageViewer::open(const QString &modelDir, const QString &pageFile, const QString &lang,
                        const QString &appDir, QString *error)
{
    KxI18nUtil *i18n = KxI18nUtil::instance();
    if (!i18n->loadMain(QDir(appDir).filePath(QStringLiteral("models/resources")), lang))
        qWarning() << "KxPageViewer::open()... no language file for" << lang;
    i18n->loadDeviceModel(modelDir, lang);
    KxImage::setSearchPaths({QDir(modelDir).filePath(QStringLiteral("images")), modelDir});

    KxDescriptionIssues issues;
    std::unique_ptr<KxPagesInfo> pages = KxPageLoader::loadPages(pageFile, QStringList(), &issues);
    if (!pages) {
        if (error)
            *error = QStringLiteral("cannot read page file %1").arg(pageFile);
        return false;
    }
    m_property->setProperty(pages.get());
    m_pages = std::move(pages);
    int controls = 0;
    for (const QString &id : m_property->pageIds())
        controls += m_property->controls(id).size();
    m_status->setText(QStringLiteral("%1 — %2 page(s), %3 control(s)")
                          .arg(QFileInfo(pageFile).fileName())
                          .arg(m_pages->pages.size())
                          .arg(controls));
    setWindowTitle(QStringLiteral("brevan-pageview — %1").arg(QFileInfo(pageFile).fileName()));
    return true;
}
