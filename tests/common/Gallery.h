#pragma once
// Start-up and picture saving shared by the gallery programs, which render widgets into
// "<dir>/<prefix>-<name>-<lang>.png" for a look by eye: gallery <output-dir> [en|zh_cn]
#include "KxI18nUtil.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QTest>
#include <QWidget>

#include <cstdio>

class Gallery
{
public:
    // settleMs: how long a shown widget gets to lay out and paint before it is grabbed.
    Gallery(int argc, char **argv, const QString &prefix, int settleMs)
        : m_dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp")),
          m_lang(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("en")),
          m_prefix(prefix),
          m_settleMs(settleMs)
    {
        // The application's font (its settings substitute a Chinese-capable family), so the
        // pictures show the texts as users see them.
        QFont::insertSubstitutions(QStringLiteral("Microsoft Yahei"),
                                   {QStringLiteral("WenQuanYi Micro Hei"),
                                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")});
        QFont appFont = QApplication::font();
        appFont.setFamily(QStringLiteral("Microsoft Yahei"));
        QApplication::setFont(appFont);
    }

    // The texts of the chosen language and the application's style sheet.
    void loadLook(QApplication &app) const
    {
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), m_lang);
        QFile css(QStringLiteral(BREVAN_SOURCE_DIR "/resources/qss/wsdefault.css"));
        if (css.open(QIODevice::ReadOnly))
            app.setStyleSheet(QString::fromUtf8(css.readAll()));
    }

    const QString &lang() const { return m_lang; }

    void save(QWidget *w, const QString &name) const
    {
        w->show();
        QTest::qWait(m_settleMs);
        const QString path = QStringLiteral("%1/%2-%3-%4.png").arg(m_dir, m_prefix, name, m_lang);
        if (!w->grab().save(path))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        else
            std::printf("%s %dx%d\n", qPrintable(path), w->width(), w->height());
        w->hide();
    }

private:
    QString m_dir;
    QString m_lang;
    QString m_prefix;
    int m_settleMs;
};
