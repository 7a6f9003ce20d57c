// Every translation key used by the sources and the model data must exist in both language
// files; a missing one would show up on screen as the bare key.
#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

#include "KxI18nUtil.h"

namespace {

// Keys in a text. Keys put together at run time cannot be checked: a fragment ending in "_",
// one followed directly by a '%' placeholder, or a literal that is concatenated ("#IDS_A" + x).
QSet<QString> keysInText(const QString &text)
{
    static const QRegularExpression key(QStringLiteral("#(IDS|ID)_[A-Za-z0-9_]+"));
    QSet<QString> keys;
    auto it = key.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString found = m.captured(0);
        if (found.endsWith(QLatin1Char('_')))
            continue;
        int next = m.capturedEnd(0);
        if (next < text.size() && text.at(next) == QLatin1Char('%'))
            continue;
        if (next < text.size() && text.at(next) == QLatin1Char('"')) {
            ++next;
            while (next < text.size() && text.at(next).isSpace())
                ++next;
            if (next < text.size() && text.at(next) == QLatin1Char('+'))
                continue;
        }
        keys.insert(found.mid(1));
    }
    return keys;
}

// Keys offered by a language file next to a model (its "i18n" folder) count for the files of
// that model; everything else must be in the main files.
QHash<QString, QString> modelTexts(const QString &file, const QString &modelsRoot,
                                   const QString &lang)
{
    QHash<QString, QString> texts;
    QDir dir = QFileInfo(file).absoluteDir();
    while (dir.absolutePath().startsWith(modelsRoot) && dir.absolutePath() != modelsRoot) {
        const QString path = dir.absoluteFilePath(QStringLiteral("i18n/%1.xml").arg(lang));
        if (QFileInfo::exists(path)) {
            const auto more = KxI18nUtil::readLanguageFile(path);
            for (auto it = more.cbegin(); it != more.cend(); ++it)
                texts.insert(it.key(), it.value());
        }
        if (!dir.cdUp())
            break;
    }
    return texts;
}

bool isLanguageFile(const QString &path)
{
    return path.contains(QLatin1String("/i18n/"));
}

} // namespace

class TestI18nKeys : public QObject
{
    Q_OBJECT
private slots:
    void keyExtraction_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("plain key") << R"(kxTr("#IDS_About"))" << QStringList{"IDS_About"};
        QTest::newRow("short prefix") << R"(text="#ID_FRDTEXT_Position")"
                                      << QStringList{"ID_FRDTEXT_Position"};
        QTest::newRow("button set") << R"(box("#IDS_OK|Cancel"))" << QStringList{"IDS_OK"};
        QTest::newRow("fragment") << R"(QString("#IDS_CMD_") + code)" << QStringList{};
        QTest::newRow("placeholder") << R"(QString("#IDS_Region%1").arg(r))" << QStringList{};
        QTest::newRow("concatenated") << R"("#IDS_Title" + suffix)" << QStringList{};
        QTest::newRow("followed by text") << R"(tr("#IDS_Title") + ":")"
                                          << QStringList{"IDS_Title"};
        QTest::newRow("xml attribute") << R"(<Item Name="#IDS_Gain" Tip="#IDS_Gain_Tip"/>)"
                                       << QStringList{"IDS_Gain", "IDS_Gain_Tip"};
        QTest::newRow("lower case prefix is no key") << R"("#ids_about")" << QStringList{};
        QTest::newRow("no hash") << R"("IDS_About")" << QStringList{};
    }

    void keyExtraction()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, keys);
        QStringList found = keysInText(text).values();
        found.sort();
        keys.sort();
        QCOMPARE(found, keys);
    }

    void everyKeyTranslated()
    {
        const QString root = QStringLiteral(BREVAN_SOURCE_DIR);
        const QString modelsRoot = QDir(root + QStringLiteral("/models")).absolutePath();
        const QString resources = modelsRoot + QStringLiteral("/resources/i18n/");
        bool enOk = false, zhOk = false;
        const auto en = KxI18nUtil::readLanguageFile(resources + QStringLiteral("en.xml"), &enOk);
        const auto zh = KxI18nUtil::readLanguageFile(resources + QStringLiteral("zh_cn.xml"), &zhOk);
        QVERIFY2(enOk && zhOk, "the main language files must parse");
        QVERIFY(!en.isEmpty() && !zh.isEmpty());

        struct Source
        {
            QString dir;
            QStringList filters;
        };
        QList<Source> sources;
        for (const char *dir : {"app", "device", "controls", "edit", "vision", "tools", "widgets",
                                "kit", "vreader"})
            sources.append({root + QLatin1Char('/') + QLatin1String(dir), {"*.cpp", "*.h"}});
        sources.append({modelsRoot, {"*.xml", "*.json"}});

        QMap<QString, QStringList> missingEn, missingZh; // key -> files using it
        int files = 0, keys = 0;
        for (const Source &source : qAsConst(sources)) {
            QDirIterator it(source.dir, source.filters, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (isLanguageFile(path))
                    continue;
                QFile file(path);
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                ++files;
                const QSet<QString> used = keysInText(QString::fromUtf8(file.readAll()));
                if (used.isEmpty())
                    continue;
                const bool isModel = path.startsWith(modelsRoot);
                const auto modelEn = isModel ? modelTexts(path, modelsRoot, "en")
                                             : QHash<QString, QString>();
                const auto modelZh = isModel ? modelTexts(path, modelsRoot, "zh_cn")
                                             : QHash<QString, QString>();
                const QString rel = QDir(root).relativeFilePath(path);
                for (const QString &key : used) {
                    ++keys;
                    // A key with an empty text shows as nothing at all: as bad as none.
                    if (en.value(key).isEmpty() && modelEn.value(key).isEmpty())
                        missingEn[key] << rel;
                    if (zh.value(key).isEmpty() && modelZh.value(key).isEmpty())
                        missingZh[key] << rel;
                }
            }
        }
        QVERIFY2(files > 0, "no source files found");
        qInfo("%d files, %d key uses checked", files, keys);

        auto report = [](const char *lang, const QMap<QString, QStringList> &missing) {
            for (auto it = missing.cbegin(); it != missing.cend(); ++it)
                qWarning("%s lacks %s (used in %s)", lang, qPrintable(it.key()),
                         qPrintable(it.value().join(QStringLiteral(", "))));
        };
        report("en.xml", missingEn);
        report("zh_cn.xml", missingZh);
        const QByteArray summary = QStringLiteral("%1 keys missing from en.xml, %2 from zh_cn.xml")
                                       .arg(missingEn.size())
                                       .arg(missingZh.size())
                                       .toUtf8();
        QVERIFY2(missingEn.isEmpty() && missingZh.isEmpty(), summary.constData());
    }
};

QTEST_GUILESS_MAIN(TestI18nKeys)
#include "tst_i18nkeys.moc"
