#include "KxDataFormatCatalogue.h"

#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>
#include <QtDebug>

namespace KxDataFormatCatalogue {
namespace {

QList<KxDataFormatFunction> load()
{
    QList<KxDataFormatFunction> out;
    QFile f(QStringLiteral(":/res/xml/dataformattools.xml"));
    QDomDocument doc;
    if (!f.open(QIODevice::ReadOnly) || !doc.setContent(&f)) {
        qWarning() << "data format catalogue not readable";
        return out;
    }
    for (QDomElement cls = doc.documentElement().firstChildElement(QStringLiteral("classification")); !cls.isNull();
         cls = cls.nextSiblingElement(QStringLiteral("classification"))) {
        const QString classKey = cls.firstChildElement(QStringLiteral("classification_name")).text().trimmed();
        for (QDomElement fn = cls.firstChildElement(QStringLiteral("function")); !fn.isNull();
             fn = fn.nextSiblingElement(QStringLiteral("function"))) {
            KxDataFormatFunction d;
            d.cmd = fn.firstChildElement(QStringLiteral("cmd")).text().trimmed();
            d.classKey = classKey;
            d.nameKey = fn.firstChildElement(QStringLiteral("name")).text().trimmed();
            d.descKey = fn.firstChildElement(QStringLiteral("description")).text().trimmed();
            for (QDomElement le = fn.firstChildElement(QStringLiteral("lineedit")); !le.isNull();
                 le = le.nextSiblingElement(QStringLiteral("lineedit"))) {
                KxDataFormatField field;
                field.noteKey = le.firstChildElement(QStringLiteral("note")).text().trimmed();
                const QString type = le.firstChildElement(QStringLiteral("type")).text().trimmed();
                field.param.type = type == QLatin1String("NUM")   ? KxDataFormatParam::Num
                                   : type == QLatin1String("KEY") ? KxDataFormatParam::Key
                                                                  : KxDataFormatParam::Char;
                field.param.length = le.firstChildElement(QStringLiteral("length")).text().toInt();
                field.param.max = le.firstChildElement(QStringLiteral("max")).text().toInt();
                d.fields << field;
            }
            out << d;
        }
    }
    return out;
}

}  // namespace

const QList<KxDataFormatFunction> &functions()
{
    static const QList<KxDataFormatFunction> all = load();
    return all;
}

const KxDataFormatFunction *find(const QString &cmd)
{
    for (const KxDataFormatFunction &f : functions()) {
        if (f.cmd == cmd)
            return &f;
    }
    return nullptr;
}

bool parseInput(const KxDataFormatField &field, const QString &text, QByteArray *bytes)
{
    const KxDataFormatParam &p = field.param;
    if (p.type == KxDataFormatParam::Num) {
        static const QRegularExpression number(QStringLiteral("^[1-9][0-9]*$"));
        if (!number.match(text).hasMatch() || text.size() > p.length || text.toInt() > p.max)
            return false;
        *bytes = text.toLatin1();
        return true;
    }
    if (p.type == KxDataFormatParam::Key) {
        const int b = KxDataFormatCommands::keyByte(text.trimmed());
        if (b < 0)
            return false;
        *bytes = QByteArray(1, char(b));
        return true;
    }
    QByteArray out;
    static const QRegularExpression keyToken(QStringLiteral("\\[([A-Za-z0-9]+)\\]"));
    int pos = 0;
    for (auto it = keyToken.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const int b = KxDataFormatCommands::keyByte(m.captured(1));
        if (b < 0)
            continue;  // not a key name: kept as typed
        out += text.mid(pos, m.capturedStart() - pos).toUtf8();
        out += char(b);
        pos = m.capturedEnd();
    }
    out += text.mid(pos).toUtf8();
    if (out.isEmpty() || out.size() > p.length)
        return false;
    *bytes = out;
    return true;
}

QString display(const QByteArray &bytes)
{
    QString s;
    for (char c : bytes)
        s += KxDataFormatCommands::displayChar(uchar(c));
    return s;
}

}  // namespace KxDataFormatCatalogue
