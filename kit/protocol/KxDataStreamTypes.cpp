#include "KxDataStreamTypes.h"

QByteArray KxTagInfo::value() const
{
    const KxSubTag *main = subTag(QString());
    return main ? main->value : QByteArray();
}

const KxSubTag *KxTagInfo::subTag(const QString &tag) const
{
    for (const KxSubTag &s : subTags) {
        if (s.tag == tag)
            return &s;
    }
    return nullptr;
}

namespace KxProtocol {

bool isValidCode(const QByteArray &code)
{
    if (code.size() != 6)
        return false;
    for (char c : code) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool isValidCode(const QString &code)
{
    return code.size() == 6 && isValidCode(code.toLatin1());
}

}  // namespace KxProtocol
