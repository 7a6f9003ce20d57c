#pragma once
// One watched reader on the statistics page: its title and tool buttons, the image with its
// figures, and the trend of the shift.
#include <QFrame>
#include <QPointer>

#include <functional>

class KxToolButton;
class QLabel;
class QStatisticsImageWidget;
class StatisticsReader;
class StatisticsTrendChart;

class StatisticsEditWidget : public QFrame
{
    Q_OBJECT
public:
    // Images are fetched at most this often, and only while the card can be seen.
    static constexpr int kImageIntervalMs = 2000;

    StatisticsEditWidget(StatisticsReader *reader, QWidget *parent = nullptr);

    StatisticsReader *reader() const;
    QStatisticsImageWidget *imageWidget() const { return m_image; }
    StatisticsTrendChart *trendChart() const { return m_trend; }
    KxToolButton *button(const QString &name) const;
    // The alias given on this page or in the device list, else the product name.
    QString title() const;
    // What tells readers of one model apart: the alias, else the serial number.
    QString shortName() const;
    // Reset and rename change what others see: the page's lock disables them.
    void setLocked(bool locked);

    // How the page runs its dialogs (tests answer them); exec() by default.
    static void setDialogRunner(std::function<int(QDialog *)> runner);
    static int runDialog(QDialog *dlg);

signals:
    void titleChanged();

private:
    void refreshFigures();
    void refreshState();
    void refreshTrend();
    void onEdit();
    void onMarks();
    void onReset();
    void onHistory();

    QPointer<StatisticsReader> m_reader;
    QLabel *m_model;
    QLabel *m_serial;
    QStatisticsImageWidget *m_image;
    StatisticsTrendChart *m_trend;
    int m_trendLines = -1;
};
