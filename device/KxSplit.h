#pragma once
// Reads a value made of numbers followed by letter tags ("100N95M2000T", counter replies) as a
// map from tag to value text.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

class KxSplit
{
public:
    KxSplit() = default;
    // hex: only g-z and G-Z are tag letters, so hex digits stay in the values.
    explicit KxSplit(const QByteArray &value, bool hex = false);

    bool contains(const QString &tag) const { return m_values.contains(tag); }
    QStringList tags() const { return m_values.keys(); }
    // The value text of a tag; empty when absent.
    QByteArray text(const QString &tag) const { return m_values.value(tag); }
    // False when the tag is absent or its value is not a whole number.
    bool toInt(const QString &tag, qint64 &out) const;
    // The tag's value read as a list of values and ranges ("0-3,5"); true only when non-empty.
    bool toRanges(const QString &tag, QList<int> &out) const;

private:
    QMap<QString, QByteArray> m_values;
};
