#include "KxVisionTools.h"

#include "KxPageLoader.h"

#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

bool KxVisionTools::load(const QString &toolkitDir)
{
    m_dir = toolkitDir;
    m_groups.clear();
    const QString path = QDir(toolkitDir).filePath(QStringLiteral("toolkit.xml"));
    QFile f(path);
    QDomDocument doc;
    QString why;
    int line = 0;
    if (!f.open(QIODevice::ReadOnly) || !doc.setContent(&f, &why, &line)) {
        m_errors << QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(f.isOpen() ? why : QStringLiteral("cannot read"));
        return false;
    }
    m_kitName = doc.documentElement().attribute(QStringLiteral("Name"));
    for (QDomElement g = doc.documentElement().firstChildElement(QStringLiteral("Group")); !g.isNull();
         g = g.nextSiblingElement(QStringLiteral("Group"))) {
        KxVisionToolGroup group{g.attribute(QStringLiteral("Id")), g.attribute(QStringLiteral("DisplayName")), {}};
        for (QDomElement t = g.firstChildElement(QStringLiteral("Tool")); !t.isNull();
             t = t.nextSiblingElement(QStringLiteral("Tool"))) {
            KxVisionTool tool;
            tool.id = t.attribute(QStringLiteral("Id"));
            tool.displayName = t.attribute(QStringLiteral("DisplayName"));
            bool ok = false;
            const int no = t.attribute(QStringLiteral("DisplayNo")).toInt(&ok);
            tool.displayNo = ok ? no : -1;
            tool.uuid = t.attribute(QStringLiteral("Uuid"));
            tool.type = t.attribute(QStringLiteral("Type"));
            tool.maxCount = qMax(0, t.attribute(QStringLiteral("MaxCount")).toInt());
            tool.groupId = group.id;
            if (tool.id.isEmpty()) {
                m_errors << QStringLiteral("%1:%2: a tool without an Id").arg(path).arg(t.lineNumber());
                continue;
            }
            if (!QFile::exists(propertyPath(tool.id)))
                m_errors << QStringLiteral("%1: missing").arg(propertyPath(tool.id));
            group.tools << tool;
        }
        m_groups << group;
    }
    return true;
}

const KxVisionTool *KxVisionTools::tool(const QString &id) const
{
    for (const KxVisionToolGroup &g : m_groups) {
        for (const KxVisionTool &t : g.tools) {
            if (t.id == id)
                return &t;
        }
    }
    return nullptr;
}

QString KxVisionTools::propertyPath(const QString &id) const
{
    return QDir(m_dir).filePath(id + QStringLiteral("/property.xml"));
}

QString KxVisionTools::samplePath(const QString &id) const
{
    return QDir(m_dir).filePath(id + QStringLiteral("/sample.png"));
}

std::unique_ptr<KxPagesInfo> KxVisionTools::propertyPages(const QString &id) const
{
    return KxPageLoader::loadPages(propertyPath(id));
}

QString KxVisionTools::helpTips(const QString &id) const
{
    const auto pages = propertyPages(id);
    if (!pages)
        return QString();
    for (const KxPageInfo *p : pages->pages) {
        const QString tips = p->attributes.value(QStringLiteral("HelpTips")).toString();
        if (!tips.isEmpty())
            return tips;
    }
    return QString();
}

bool KxVisionTools::loadParams(const QString &zukitDir)
{
    m_params.clear();
    auto read = [this](const QString &path, QJsonObject *out) {
        QFile f(path);
        QJsonParseError pe{};
        const QJsonDocument d = f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll(), &pe)
                                                            : QJsonDocument();
        if (!d.isObject()) {
            m_errors << QStringLiteral("%1: %2").arg(path, f.isOpen() ? pe.errorString() : QStringLiteral("cannot read"));
            return false;
        }
        *out = d.object();
        return true;
    };
    QJsonObject functions, descriptions;
    if (!read(QDir(zukitDir).filePath(QStringLiteral("function_params.json")), &functions)
        || !read(QDir(zukitDir).filePath(QStringLiteral("zuParams_description.json")), &descriptions))
        return false;
    const QJsonObject params = descriptions.value(QStringLiteral("params")).toObject();
    for (const QJsonValue &fv : functions.value(QStringLiteral("functions")).toArray()) {
        const QJsonObject f = fv.toObject();
        const QString id = f.value(QStringLiteral("id")).toString();
        KxVisionFunctionParams out;
        auto list = [&](const char *key, QList<QVariantMap> *into) {
            for (const QJsonValue &pv : f.value(QLatin1String(key)).toArray()) {
                QVariantMap p = pv.toObject().toVariantMap();
                for (const char *k : {"type", "id", "name", "type_enum", "is_complex", "default_value"}) {
                    if (!p.contains(QLatin1String(k)))
                        m_errors << QStringLiteral("%1: %2 of %3 has no \"%4\"").arg(id, QLatin1String(key),
                                                                                   p.value("id").toString(), QLatin1String(k));
                }
                const QVariantMap d = params.value(id + QLatin1Char('.') + p.value("id").toString()).toObject().toVariantMap();
                for (auto it = d.begin(); it != d.end(); ++it)
                    p.insert(it.key(), it.value());
                into->append(p);
            }
        };
        list("input_params", &out.input_params);
        list("output_params", &out.output_params);
        list("condition_params", &out.condition_params);
        m_params.insert(id, out);
    }
    return true;
}

KxVisionFunctionParams KxVisionTools::zuGetFunctionParamsInfos(const QString &function) const
{
    return m_params.value(function);
}

QString KxVisionTools::controlTypeForKind(const QString &kind)
{
    static const QMap<QString, QString> map{
        {"zuSpinBox", "SpinBox"},         {"zuDSpinBox", "DoubleSpinBox"},
        {"zuComboBox", "ComboBox"},       {"zuLineEdit", "LineEdit"},
        {"zuLineEditPath", "TextEdit"},   {"zuMinMax", "RangeBox"},
        {"zuDMinMax", "DoubleRangeBox"},  {"zuPoint", "Point"},
        {"zuPoint2i", "Point"},           {"zuColorRangeParams", "ColorRange"},
        {"zuLine", "Line"},               {"zuRectangleBox", "ZuRectangleBox"},
        {"zuKsize", "Size"},              {"zuToggle", "ToggleButton"},
        {"zuModel", "ZuKitModel"},        {"zuSendTC", "ZuKitSendTC"}};
    const QString type = map.value(kind);
    if (type.isEmpty())
        qWarning().noquote() << "***###*** ZuKitCtrlType:" << kind;
    return type;
}

QString KxVisionTools::controlTypeForInput(const QString &dataType)
{
    static const QMap<QString, QString> map{
        {"ZU_IMAGE_INFO", "ZuKitInputEdit"},        {"zuBenchMarkRslts", "ZuKitBenchMarkToggle"},
        {"zuLocatorContext", "ZuKitLocatorContext"}, {"zuKitOutPut", "ZuKitCheckBox"},
        {"zuKitTmpl", "ZuKitTmpl"}};
    if (map.contains(dataType))
        return map.value(dataType);
    qWarning().noquote() << "***###*** ZuKitInputType:" << dataType;
    return QStringLiteral("ZuKitInputEdit");
}
