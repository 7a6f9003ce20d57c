// The symbology settings control: rows from the page file, enable values, select-all, the JSON
// value and setValue, and the popup that edits one symbology's page.
#include "controls_testutil.h"

#include "IKxSpecialReader.h"
#include "Kx1D2DEdit.h"
#include "KxPropertyWidget.h"
#include "KxSpecialControls.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QByteArray kPages = R"(<?xml version="1.0" encoding="UTF-8"?>
<PropertyConfig><Pages>
 <Page Id="C28ENA" DisplayName="Code 128">
  <Group Id="Grp_C28" DisplayName="Code 128">
   <Item Id="C28ENA" DisplayName="On" ControlType="ToggleButton" Default="1"><StringList><String UserData="0">Off</String><String UserData="1">On</String></StringList></Item>
   <Item Id="C28MIN" DisplayName="Min" ControlType="SpinBox" Default="1" Minimum="1" Maximum="64"/>
   <Item Id="C28DEF" DisplayName="Defaults" ControlType="DEFCMD"/>
   <Item Id="C28LEN" DisplayName="Lengths" ControlType="RangeBox" ReturnType="range_int" Flags="Keep" Default="1|48" Minimum="1" Maximum="64"/>
  </Group>
 </Page>
 <Page Id="D12ENA" DisplayName="Interleaved">
  <Group Id="Grp_D12" DisplayName="Interleaved">
   <Item Id="D12ENA" DisplayName="On" ControlType="ComboBox" Default="0"><StringList><String UserData="0">Off</String><String UserData="1">On</String><String UserData="2">With check</String></StringList></Item>
  </Group>
 </Page>
 <Page Id="QRCENA" DisplayName="QR Code">
  <Group Id="Grp_QRC" DisplayName="QR Code">
   <Item Id="QRCENA" DisplayName="On" ControlType="ToggleButton" Default="1"><StringList><String UserData="0">Off</String><String UserData="1">On</String></StringList></Item>
  </Group>
 </Page>
</Pages></PropertyConfig>)";

// Stands where the edit frame's property widget would: the reader's page files.
class ReaderSink : public EventSink, public IKxSpecialReader
{
public:
    bool hasPages = true;
    int loads = 0;
    QString editContext() const override { return QStringLiteral("BCodeEdit"); }
    std::unique_ptr<KxPagesInfo> readerPages(const QString &xml) override
    {
        ++loads;
        return hasPages && xml == QLatin1String("2D.xml") ? KxPageLoader::loadPagesFromBytes(kPages, xml) : nullptr;
    }
    void queryFirst(const QStringList &, QObject *, const Answer &) override {}
};

}  // namespace

class TstSymbologyControl : public QObject
{
    Q_OBJECT
private:
    Kx1D2DEdit *make(ReaderSink *sink, std::unique_ptr<KxItemInfo> *keep, const QString &value = QString())
    {
        *keep = makeItem("1D2DEdit", value, {{"xml", "2D.xml"}});
        return qobject_cast<Kx1D2DEdit *>(makeControl(keep->get(), sink));
    }

private slots:
    void initTestCase() { KxSpecialControls::registerAll(); }

    void withoutReaderThereAreNoRows_data()
    {
        QTest::addColumn<bool>("reader");
        QTest::newRow("no reader access") << false;
        QTest::newRow("reader without the page file") << true;
    }
    void withoutReaderThereAreNoRows()
    {
        QFETCH(bool, reader);
        ReaderSink readerSink;
        readerSink.hasPages = false;
        EventSink plain;
        std::unique_ptr<KxItemInfo> item = makeItem("1D2DEdit", QString(), {{"xml", "2D.xml"}});
        auto *c = qobject_cast<Kx1D2DEdit *>(makeControl(item.get(), reader ? static_cast<QObject *>(&readerSink) : &plain));
        QVERIFY(c);
        QCOMPARE(readerSink.loads, reader ? 1 : 0);
        QCOMPARE(c->settings()->rows().size(), 0);
        QCOMPARE(c->value().toString(), QString());
        // All of zero rows are checked.
        QVERIFY(c->settings()->selectAll()->isChecked());
    }

    // The value carries what the page's JSON export carries: storable items only, the return
    // type when it is not a plain one, the flags, and no empty groups.
    void valueFollowsThePageExport()
    {
        ReaderSink sink;
        std::unique_ptr<KxItemInfo> item;
        Kx1D2DEdit *c = make(&sink, &item);
        const QJsonArray items = QJsonDocument::fromJson(c->value().toString().toUtf8())
                                     .object().value("C28ENA").toObject().value("Grp_C28").toArray();
        QStringList ids;
        for (const QJsonValue &v : items)
            ids << v.toObject().value("Id").toString();
        QCOMPARE(ids, (QStringList{"C28ENA", "C28MIN", "C28LEN"}));
        QCOMPARE(items.at(2).toObject().value("Type").toString(), QStringLiteral("range_int"));
        QCOMPARE(items.at(2).toObject().value("Flags").toString(), QStringLiteral("Keep"));
        QVERIFY(!items.at(0).toObject().contains("Type"));
        QCOMPARE(c->settings()->row("C28ENA")->pages()->pages.size(), 1);
    }

    void rowsFollowThePages()
    {
        ReaderSink sink;
        std::unique_ptr<KxItemInfo> item;
        Kx1D2DEdit *c = make(&sink, &item);
        const QList<KxCodeItem *> rows = c->settings()->rows();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0]->objectName(), QStringLiteral("C28ENA"));
        QCOMPARE(rows[1]->nameLabel()->text(), QStringLiteral("Interleaved"));
        QCOMPARE(rows[1]->nameLabel()->objectName(), QStringLiteral("ID_CodeName"));
        QVERIFY(rows[0]->enableBox()->isChecked());
        QVERIFY(!rows[1]->enableBox()->isChecked());  // "0"
        QVERIFY(!c->settings()->selectAll()->isChecked());
    }

    void enableValues_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("on");
        QTest::newRow("D12ENA stores 2") << "D12ENA" << "2";
        QTest::newRow("others store 1") << "QRCENA" << "1";
    }
    void enableValues()
    {
        QFETCH(QString, page);
        QFETCH(QString, on);
        ReaderSink sink;
        std::unique_ptr<KxItemInfo> item;
        Kx1D2DEdit *c = make(&sink, &item);
        KxCodeItem *row = c->settings()->row(page);
        QVERIFY(row);
        if (row->enableBox()->isChecked())
            row->enableBox()->click();
        QCOMPARE(row->enableValue(), QStringLiteral("0"));
        const int reported = sink.count(KxValueChangedEvent::eventType());
        row->enableBox()->click();
        QCOMPARE(row->enableValue(), on);
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), reported + 1);
        const QJsonObject v = QJsonDocument::fromJson(c->value().toString().toUtf8()).object();
        QCOMPARE(v.value(page).toObject().begin().value().toArray().at(0).toObject().value("Param").toString(), on);
    }

    void selectAllFollowsTheRows()
    {
        ReaderSink sink;
        std::unique_ptr<KxItemInfo> item;
        Kx1D2DEdit *c = make(&sink, &item);
        c->settings()->selectAll()->click();
        for (KxCodeItem *r : c->settings()->rows())
            QVERIFY2(r->enableBox()->isChecked(), qPrintable(r->pageId()));
        QCOMPARE(c->settings()->row("D12ENA")->enableValue(), QStringLiteral("2"));
        QVERIFY(c->settings()->selectAll()->isChecked());
        c->settings()->row("QRCENA")->enableBox()->click();
        QVERIFY(!c->settings()->selectAll()->isChecked());
        // A row marked not checkable does not count.
        c->settings()->row("QRCENA")->enableBox()->setProperty("Checkable", false);
        c->settings()->updateSelectAll();
        QVERIFY(c->settings()->selectAll()->isChecked());
    }

    void valueRoundTrips()
    {
        ReaderSink sink;
        std::unique_ptr<KxItemInfo> item;
        Kx1D2DEdit *c = make(&sink, &item);
        const QString json = QStringLiteral(
            R"({"C28ENA":{"Grp_C28":[{"Id":"C28ENA","Param":"0"},{"Id":"C28MIN","Param":"6"}]},"NOPAGE":{"G":[{"Id":"X","Param":"1"}]}})");
        c->setValue(json);
        QVERIFY(!c->settings()->row("C28ENA")->enableBox()->isChecked());
        const QJsonObject v = QJsonDocument::fromJson(c->value().toString().toUtf8()).object();
        // The page without a row is ignored; every row is in the value.
        QCOMPARE(v.keys(), (QStringList{"C28ENA", "D12ENA", "QRCENA"}));
        QCOMPARE(v.value("C28ENA").toObject().value("Grp_C28").toArray().at(1).toObject().value("Param").toString(),
                 QStringLiteral("6"));
        // Compact form.
        QVERIFY(!c->value().toString().contains(' '));
        // Text that is not a JSON object changes nothing.
        const QString before = c->value().toString();
        c->setValue(QStringLiteral("[1,2]"));
        c->setValue(QStringLiteral("{broken"));
        QCOMPARE(c->value().toString(), before);
    }

    void popupEditsTheRowsPage()
    {
        ReaderSink sink;
        std::unique_ptr<KxItemInfo> item;
        Kx1D2DEdit *c = make(&sink, &item);
        KxCodeItem *row = c->settings()->row("C28ENA");
        KxCodePopupWidget *popup = c->settings()->openPopup(row, QPoint(10, 10));
        QVERIFY(popup);
        KxControlBase *min = popup->propertyWidget()->control("C28MIN");
        QVERIFY(min);
        min->setValue(QStringLiteral("9"));
        popup->close();
        const QJsonObject v = QJsonDocument::fromJson(c->value().toString().toUtf8()).object();
        QCOMPARE(v.value("C28ENA").toObject().value("Grp_C28").toArray().at(1).toObject().value("Param").toString(),
                 QStringLiteral("9"));
    }
};

QTEST_MAIN(TstSymbologyControl)
#include "tst_symbologycontrol.moc"
