#pragma once
// One option of an option list or one entry of a parameter list. Lists travel as QVariantList
// whose elements hold KxFeatureInfo.
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

struct KxFeatureInfo
{
    QString name; // left empty by the loader
    QString key;  // the value stored for the command
    QVariant text; // what is shown

    bool operator==(const KxFeatureInfo &o) const
    {
        return name == o.name && key == o.key && text == o.text;
    }
};

Q_DECLARE_METATYPE(KxFeatureInfo)

// Registers the description types with the meta-type system; safe to call repeatedly.
void kxRegisterDescriptionTypes();

// Helpers between the variant-list form and a typed list; non-KxFeatureInfo elements are skipped.
QVariantList kxToVariantList(const QList<KxFeatureInfo> &list);
QList<KxFeatureInfo> kxFromVariantList(const QVariant &list);
