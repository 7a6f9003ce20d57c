#include "DeviceDlgStyle.h"

#include "KxI18nUtil.h"
#include "KxWidgetStyle.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace DeviceDlgStyle
{

QString formSheet()
{
    return QStringLiteral("QLabel[formLabel=\"true\"]{color:%1;}"
                          "QLineEdit{border:1px solid %2;border-radius:4px;padding:0 8px;"
                          "min-height:30px;background:#ffffff;color:%1;}"
                          "QLineEdit:focus{border-color:%3;}"
                          "QLineEdit:disabled{background:#f4f4f4;color:#a3a9b3;}")
        .arg(QLatin1String(KxStyle::Text), QLatin1String(KxStyle::Border),
             QLatin1String(KxStyle::Accent));
}

QLabel *formLabel(const QString &key, QWidget *parent)
{
    auto *l = new QLabel(kxTr(key), parent);
    l->setProperty("formLabel", true);
    l->setTextFormat(Qt::PlainText);
    // As tall as the fields, so the form's right-aligned label centres on its field's text.
    l->setMinimumHeight(32);
    return l;
}

QLineEdit *formEdit(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setMinimumWidth(200);
    return e;
}

QFormLayout *formLayout(QWidget *content)
{
    content->setStyleSheet(formSheet());
    auto *form = new QFormLayout(content);
    form->setContentsMargins(24, 18, 24, 12);
    form->setHorizontalSpacing(14);
    form->setVerticalSpacing(12);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    return form;
}

} // namespace DeviceDlgStyle
