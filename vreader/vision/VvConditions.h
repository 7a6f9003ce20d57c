#pragma once
// The conditions of condition, branch and loop nodes: comparisons of node outputs against
// constants or other outputs, combined by logics. Outputs are named "<node index>.<output id>".
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QVariant>

namespace VvConditions {
using Outputs = QMap<QString, QVariant>;
// Evaluates one condition or logic by its id. False with a reason in error when the description
// is malformed, an id is unknown, an output is missing or the logics loop.
bool evaluate(const QJsonObject &description, const QString &id, const Outputs &outputs,
              bool *result, QString *error);
// The whole description: the last logic when there are logics, else all comparisons together.
// An empty description holds.
bool evaluateAll(const QJsonObject &description, const Outputs &outputs, bool *result,
                 QString *error);
}  // namespace VvConditions
