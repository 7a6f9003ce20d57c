#include "KxSearchLineEdit.h"

#include "KxI18nUtil.h"
#include "KxPaintedIcon.h"

#include <QAction>
#include <QTimer>

KxSearchLineEdit::KxSearchLineEdit(QWidget *parent) : QLineEdit(parent), m_delay(new QTimer(this))
{
    setObjectName(QStringLiteral("editSearch"));
    setMinimumHeight(30);
    addAction(kxPaintedIcon(KxIconShape::Search, 16), QLineEdit::LeadingPosition);
    m_clear = addAction(kxPaintedIcon(KxIconShape::Clear, 16), QLineEdit::TrailingPosition);
    m_clear->setObjectName(QStringLiteral("actClear"));
    m_clear->setToolTip(kxTr(QStringLiteral("#IDS_Clear")));
    m_clear->setVisible(false);
    connect(m_clear, &QAction::triggered, this, [this] {
        clear();
        setFocus();
    });
    m_delay->setSingleShot(true);
    m_delay->setInterval(0);
    connect(m_delay, &QTimer::timeout, this, [this] { emit signal_searchChanged(text()); });
    connect(this, &QLineEdit::textChanged, this, [this](const QString &t) {
        m_clear->setVisible(!t.isEmpty());
        if (m_delay->interval() <= 0)
            emit signal_searchChanged(t);
        else
            m_delay->start();
    });
}

void KxSearchLineEdit::setPlaceholderKey(const QString &key)
{
    setPlaceholderText(kxTr(key));
}

void KxSearchLineEdit::setDelay(int ms)
{
    m_delay->setInterval(qMax(0, ms));
}
