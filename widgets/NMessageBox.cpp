#include "NMessageBox.h"

#include "KxButtonSet.h"
#include "KxI18nUtil.h"
#include "KxPaintedIcon.h"
#include "KxStyledButtons.h"

#include <QHBoxLayout>
#include <QLabel>

static KxIconShape iconFor(KxMsgType type)
{
    switch (type) {
    case KxMsgType::Question:
        return KxIconShape::Question;
    case KxMsgType::Warning:
        return KxIconShape::Warning;
    case KxMsgType::Error:
        return KxIconShape::Error;
    default:
        return KxIconShape::Info;
    }
}

NMessageBox::NMessageBox(KxMsgType type, const QString &title, const QString &text,
                         const QString &buttonSet, int width, QWidget *parent)
    : NDialogEx(parent), m_type(type), m_buttonSet(buttonSet)
{
    setObjectName(QStringLiteral("NMessageBox"));
    setTitle(title.isEmpty() ? QStringLiteral("#IDS_Tips") : title);

    auto *icon = new QLabel(contentWidget());
    icon->setObjectName(QStringLiteral("labIcon"));
    icon->setPixmap(kxPaintedPixmap(iconFor(type), 28, QColor(), devicePixelRatioF()));
    icon->setFixedSize(28, 28);
    m_labText = new QLabel(contentWidget());
    m_labText->setObjectName(QStringLiteral("labText"));
    // Texts may carry device replies: never interpret them as markup.
    m_labText->setTextFormat(Qt::PlainText);
    m_labText->setWordWrap(true);
    m_labText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_labText->setStyleSheet(QStringLiteral("font-size:13px;"));
    m_labText->setText(kxTr(text));
    m_labText->setMinimumHeight(28);

    auto *lay = new QHBoxLayout(contentWidget());
    lay->setContentsMargins(20, 18, 20, 18);
    lay->setSpacing(12);
    lay->addWidget(icon, 0, Qt::AlignTop);
    lay->addWidget(m_labText, 1, Qt::AlignVCenter);

    const QStringList keys = KxButtonSet::keys(buttonSet);
    for (int i = 0; i < keys.size(); ++i) {
        KxPushButton *b =
            addButton(keys.at(i), i == 0 ? KxPushButton::Primary : KxPushButton::Normal);
        b->setObjectName(QStringLiteral("btnMessage_%1").arg(i + 1));
        const int number = i + 1;
        connect(b, &QPushButton::clicked, this, [this, number] { done(number); });
        m_buttons << b;
    }
    if (!m_buttons.isEmpty()) {
        m_buttons.first()->setDefault(true);
        m_buttons.first()->setFocus();
    }

    // Fixed width, height from the wrapped text; never narrower than the buttons need.
    fitToWidth(width);
}

QString NMessageBox::text() const
{
    return m_labText->text();
}

KxPushButton *NMessageBox::button(int number) const
{
    return number >= 1 && number <= m_buttons.size() ? m_buttons.at(number - 1) : nullptr;
}

KxMessageResult NMessageBox::messageResult() const
{
    return KxButtonSet::resultFor(m_buttonSet, result());
}

KxMessageResult NMessageBox::ask(const KxMessageRequest &request)
{
    NMessageBox box(request.type, request.title, request.text, request.buttons, request.width,
                    request.parent);
    box.exec();
    return box.messageResult();
}
