// The application's look on the platform style: check boxes and radio buttons draw a visible
// box or ring when unchecked and a filled mark when checked, and spin boxes show arrows a user
// can see, under both the application sheet and the main window's own sheet.
// BREVAN_STYLE_SHOTS=<dir> saves the pictures that are measured.
#include "BrevanResources.h"
#include "MainFrame.h"

#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QStyleOptionSpinBox>
#include <QtTest>

namespace
{

bool ink(QRgb pixel, QRgb background)
{
    return qAbs(qRed(pixel) - qRed(background)) + qAbs(qGreen(pixel) - qGreen(background))
               + qAbs(qBlue(pixel) - qBlue(background))
        > 90;
}

// Pixels inside rect that stand out from the background; rows: how many rows hold any.
int inkIn(const QImage &img, const QRect &rect, QRgb background, int *rows = nullptr)
{
    int count = 0, inkRows = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        int inRow = 0;
        for (int x = rect.left(); x <= rect.right(); ++x)
            inRow += ink(img.pixel(x, y), background) ? 1 : 0;
        count += inRow;
        inkRows += inRow > 0 ? 1 : 0;
    }
    if (rows)
        *rows = inkRows;
    return count;
}

void saveShot(const QImage &img, const QString &name)
{
    const QString dir = qEnvironmentVariable("BREVAN_STYLE_SHOTS");
    if (!dir.isEmpty())
        img.save(dir + "/style-" + name + ".png");
}

} // namespace

class TestMainWinStyle : public QObject
{
    Q_OBJECT
private:
    QWidget *host = nullptr;

    // The widget as drawn over its window (a widget grabbed alone has no background).
    QImage grab(QWidget *w)
    {
        host->show();
        QTest::qWait(50);
        const QImage all = host->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return all.copy(QRect(w->mapTo(host, QPoint()), w->size()));
    }

private slots:
    void initTestCase()
    {
        brevanInitResources();
        QFile css(":/qss/wsdefault.css");
        QVERIFY(css.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(css.readAll()));
        host = new QWidget;
        host->setStyleSheet(MainFrame::windowStyleSheet());
        host->setAttribute(Qt::WA_StyledBackground);
        new QHBoxLayout(host);
    }
    void cleanupTestCase() { delete host; }

    void indicators_data()
    {
        QTest::addColumn<bool>("radio");
        QTest::newRow("check box") << false;
        QTest::newRow("radio button") << true;
    }
    void indicators()
    {
        QFETCH(bool, radio);
        QAbstractButton *off = radio ? static_cast<QAbstractButton *>(new QRadioButton(host))
                                     : new QCheckBox(host);
        QAbstractButton *on = radio ? static_cast<QAbstractButton *>(new QRadioButton(host))
                                    : new QCheckBox(host);
        on->setAutoExclusive(false);
        off->setAutoExclusive(false);
        on->setChecked(true);
        for (QAbstractButton *b : {off, on}) {
            b->setFixedSize(80, 32);
            host->layout()->addWidget(b);
        }
        const QImage offImg = grab(off), onImg = grab(on);
        saveShot(offImg, radio ? "radio-off" : "check-off");
        saveShot(onImg, radio ? "radio-on" : "check-on");

        QStyleOptionButton opt;
        opt.initFrom(off);
        const QRect box = off->style()->subElementRect(
            radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &opt, off);
        QVERIFY2(box.width() >= 12 && box.height() >= 12, "indicator too small to see");
        const QRgb bg = offImg.pixel(offImg.width() - 2, offImg.height() / 2);

        // Unchecked: an outline at least most of the way round the indicator.
        int rows = 0;
        const int offInk = inkIn(offImg, box, bg, &rows);
        QVERIFY2(offInk >= (box.width() + box.height()),
                 qPrintable(QString("unchecked indicator nearly empty: %1 pixels").arg(offInk)));
        QVERIFY2(rows >= box.height() * 2 / 3, "unchecked outline does not go round");
        // Checked: clearly more than the outline.
        const int onInk = inkIn(onImg, box, bg);
        QVERIFY2(onInk > offInk * 3 / 2,
                 qPrintable(QString("checked %1 vs unchecked %2 pixels").arg(onInk).arg(offInk)));
        delete off;
        delete on;
    }

    void spinBoxArrows()
    {
        auto *spin = new QSpinBox(host);
        spin->setFixedSize(120, 30);
        spin->setRange(0, 100);
        spin->setValue(50);
        host->layout()->addWidget(spin);
        const QImage img = grab(spin);
        saveShot(img, "spin");
        QStyleOptionSpinBox opt;
        opt.initFrom(spin);
        opt.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown | QStyle::SC_SpinBoxFrame;
        opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
        opt.frame = true;
        for (QStyle::SubControl sc : {QStyle::SC_SpinBoxUp, QStyle::SC_SpinBoxDown}) {
            const QRect r = spin->style()->subControlRect(QStyle::CC_SpinBox, &opt, sc, spin);
            QVERIFY2(r.width() >= 12 && r.height() >= 8, "arrow button too small");
            // The arrow is a filled shape: several rows of ink growing or shrinking, not a
            // single stroke across the button.
            const QRgb bg = img.pixel(r.center().x(), r.top() + 1);
            const QRect inner = r.adjusted(2, 2, -2, -2);
            int rows = 0;
            const int count = inkIn(img, inner, bg, &rows);
            QVERIFY2(rows >= 3 && count >= 8,
                     qPrintable(QString("arrow %1: %2 pixels in %3 rows").arg(sc).arg(count).arg(rows)));
        }
        delete spin;
    }
};

QTEST_MAIN(TestMainWinStyle)
#include "tst_mainwin_style.moc"
