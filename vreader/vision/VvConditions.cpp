#include "VvConditions.h"

#include <QJsonArray>

namespace {
bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

QJsonObject byId(const QJsonArray &list, const QString &id)
{
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("id")).toVariant().toString() == id)
            return o;
    }
    return {};
}

template <typename T>
bool compare(const T &a, const QString &op, const T &b, bool *ok)
{
    *ok = true;
    if (op == QLatin1String("<=")) return a <= b;
    if (op == QLatin1String("<")) return a < b;
    if (op == QLatin1String("!=")) return a != b;
    if (op == QLatin1String("==")) return a == b;
    if (op == QLatin1String(">=")) return a >= b;
    if (op == QLatin1String(">")) return a > b;
    *ok = false;
    return false;
}

bool comparison(const QJsonObject &c, const VvConditions::Outputs &outputs, bool *result, QString *error)
{
    const QString left = c.value(QStringLiteral("left_dep_value")).toString();
    if (!outputs.contains(left))
        return fail(error, QStringLiteral("condition %1: no output %2").arg(c.value("id").toVariant().toString(), left));
    QVariant right;
    const QString rightText = c.value(QStringLiteral("right_dep_value")).toVariant().toString();
    if (c.value(QStringLiteral("right_dep_type")).toString() == QLatin1String("DEPENDENCY")) {
        if (!outputs.contains(rightText))
            return fail(error, QStringLiteral("condition: no output %1").arg(rightText));
        right = outputs.value(rightText);
    } else {
        right = rightText;
    }
    const QString type = c.value(QStringLiteral("type")).toString();
    const QString op = c.value(QStringLiteral("op")).toString();
    bool known = false;
    if (type == QLatin1String("int") || type == QLatin1String("float")) {
        bool okL = false, okR = false;
        const double l = outputs.value(left).toString().toDouble(&okL);
        const double r = right.toString().toDouble(&okR);
        if (!okL || !okR)
            return fail(error, QStringLiteral("condition on %1: not a number").arg(left));
        *result = type == QLatin1String("int") ? compare(qRound64(l), op, qRound64(r), &known)
                                               : compare(l, op, r, &known);
    } else if (type == QLatin1String("char*")) {
        *result = compare(outputs.value(left).toString(), op, right.toString(), &known);
    } else {
        return fail(error, QStringLiteral("condition on %1: unknown type \"%2\"").arg(left, type));
    }
    return known || fail(error, QStringLiteral("condition on %1: unknown operator \"%2\"").arg(left, op));
}

bool evaluateAt(const QJsonObject &d, const QString &id, const VvConditions::Outputs &outputs,
                bool *result, QString *error, int depth)
{
    if (depth > 32)
        return fail(error, QStringLiteral("logics loop at %1").arg(id));
    const QJsonObject c = byId(d.value(QStringLiteral("conditions")).toArray(), id);
    if (!c.isEmpty())
        return comparison(c, outputs, result, error);
    const QJsonObject l = byId(d.value(QStringLiteral("logics")).toArray(), id);
    if (l.isEmpty())
        return fail(error, QStringLiteral("no condition or logic %1").arg(id));
    const QString op = l.value(QStringLiteral("op")).toString().toUpper();
    const QJsonArray deps = l.value(QStringLiteral("dep_ids")).toArray();
    if (deps.isEmpty())
        return fail(error, QStringLiteral("logic %1 combines nothing").arg(id));
    QList<bool> values;
    for (const QJsonValue &dep : deps) {
        bool v = false;
        if (!evaluateAt(d, dep.toVariant().toString(), outputs, &v, error, depth + 1))
            return false;
        values << v;
    }
    if (op == QLatin1String("AND") || op == QLatin1String("&&"))
        *result = !values.contains(false);
    else if (op == QLatin1String("OR") || op == QLatin1String("||"))
        *result = values.contains(true);
    else if ((op == QLatin1String("NOT") || op == QLatin1String("!")) && values.size() == 1)
        *result = !values.first();
    else
        return fail(error, QStringLiteral("logic %1: unknown operator \"%2\"").arg(id, op));
    return true;
}
}  // namespace

bool VvConditions::evaluate(const QJsonObject &description, const QString &id,
                            const Outputs &outputs, bool *result, QString *error)
{
    return evaluateAt(description, id, outputs, result, error, 0);
}

bool VvConditions::evaluateAll(const QJsonObject &description, const Outputs &outputs,
                               bool *result, QString *error)
{
    const QJsonArray logics = description.value(QStringLiteral("logics")).toArray();
    if (!logics.isEmpty())
        return evaluate(description, logics.last().toObject().value("id").toVariant().toString(),
                        outputs, result, error);
    *result = true;
    for (const QJsonValue &c : description.value(QStringLiteral("conditions")).toArray()) {
        bool v = false;
        if (!comparison(c.toObject(), outputs, &v, error))
            return false;
        *result = *result && v;
    }
    return true;
}
