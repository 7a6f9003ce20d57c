#pragma once
// The quick settings page: the device card, the configuration-set box, the reader tools, the
// live image above the output panel, and the settings tabs of the model's quick pages.
#include "IPluginWidget.h"
#include "QuickTestSummary.h"
#include "KxDeviceTypes.h"

#include <QMap>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <memory>
#include <QPointer>

class BCodeImageView;
class BCodePropertyWidget;
class DeviceCardWidget;
class QSplitter;
class ResultOutputWidget;
class ResultOutputNetWidget;
class QTabWidget;
class QToolButton;
class QuickConfigSetBox;
class QTimer;
class ResultOutputTableWidget;

class QuickSettingsWidget : public IPluginWidget
{
    Q_OBJECT
public:
    explicit QuickSettingsWidget(QWidget *parent = nullptr);

    DeviceCardWidget *deviceCard() const { return m_card; }
    QTabWidget *settingsTabs() const { return m_tabs; }
    BCodePropertyWidget *settings() const { return m_settings; }
    BCodeImageView *imageView() const { return m_imageView; }
    // The output panel under the image: the text log of results.
    QWidget *outputArea() const { return m_output; }
    ResultOutputWidget *resultOutput() const { return m_resultOutput; }
    // Results of network readers, which report structured records, go to this table.
    ResultOutputNetWidget *resultTable() const { return m_resultTable; }
    QTabWidget *outputTabs() const { return m_outputTabs; }
    QuickConfigSetBox *configSetBox() const { return m_configSets; }
    // The tool buttons shown, by tool id, in page order.
    QStringList toolIds() const;
    QToolButton *tool(const QString &id) const { return m_tools.value(id); }

    bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param) override;

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override { return true; }
    // Playing images keeps the page busy.
    bool isBusy() override;
    bool stopBusy() override;
    bool activate(const QVariant &param) override;
    // Leaving the page for another page of the frame stops the running tool first.
    bool deactivate(const QVariant &param) override;
    bool closing(const QVariant &param) override;
    // Shows the tab of the item ("Page Global Settings", "Page Exposure Settings", ...).
    void locate(const QVariant &item) override;
    void OnSlotConfigLibStreamMode(bool bStream);
    // A local decode of an image file, written to the text log under the image.
    void decodeResultSlot(const QString &imageFile, bool decodeRes, const QString &decodeData,
                          int decodeTime);

    void OnBtnToolClicked();
    void OnSlotBarcodeImageViewPlay(bool bPlay);
    // The reader's monitoring state ("SCNMTG"): a reader that stopped ends the monitor tool.
    void OnTimeoutCheckMonitorState();
    // The settings dialog of a tool (tests: their group; automatic focus: its parameters).
    void openToolSettings(const QString &id);

public:
    // The table the running or last read or debug test writes to; nullptr before the first.
    ResultOutputTableWidget *testTable() const { return m_testTable; }
    // What the last trigger, read or debug test found; empty before the first.
    const QuickTestSummary &testSummary() const { return m_summary; }
    // Shows it (the tool buttons' menus offer it once a test has run).
    void openTestSummary();
    // What the last successful self-learning changed, to keep or undo (the self-learning
    // button's menu offers it).
    struct LearnResult
    {
        QImage before, after;
        QVector<ChangedCmdInfo> changes;
        bool valid = false;
    };
    const LearnResult &learnResult() const { return m_learnResult; }
    void openLearnResult();

signals:
    void OnSignalConfigLibEnable();
    void OnSignalBtnDeviceLogClick();
    void OnSignalConfigLibStreamMode(bool bStream);
    // No tool runs any more.
    void toolsStopped();

private:
    // Lets the running tool finish its stop with the reader, up to ms, the GUI kept live.
    void waitForToolEnd(int ms);
    void buildTools();
    void startAutoFocus();
    void runFocus(const QString &code, const QByteArray &value);
    void startReaderTest(const QString &id);
    void readerTestEnded(const QString &id, const QMap<QString, QByteArray> &result);
    void startSelfLearning();
    void selfLearningEnded(const QMap<QString, QByteArray> &result);
    void startTriggerTest();
    void triggerTestEnded(const QMap<QString, QByteArray> &result);
    void toolEnded(const QString &id);

    QPointer<KxDeviceConnector> m_connector;
    QuickConfigSetBox *m_configSets;
    QWidget *m_toolArea;
    QMap<QString, QToolButton *> m_tools;
    QStringList m_toolOrder;
    QString m_running;  // the tool that runs, empty when none
    // Asks the running tool's worker to stop.
    std::shared_ptr<std::atomic_bool> m_stop;
    // Reads the reader reported (batches with a good read), counted on the GUI thread.
    // A waiting tool wakes at once when one comes, else after its 10 ms poll.
    struct ReadCounter
    {
        std::atomic_int count{0};
        std::mutex mutex;
        std::condition_variable arrived;
        void add()
        {
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++count;
            }
            arrived.notify_all();
        }
        // Waits up to ms for the count to leave seen; the count as it then stands.
        int waitPast(int seen, int ms)
        {
            std::unique_lock<std::mutex> lock(mutex);
            arrived.wait_for(lock, std::chrono::milliseconds(ms), [&] { return count.load() != seen; });
            return count.load();
        }
    };
    std::shared_ptr<ReadCounter> m_reads = std::make_shared<ReadCounter>();
    DeviceCardWidget *m_card;
    QTabWidget *m_tabs;
    BCodePropertyWidget *m_settings;
    QSplitter *m_splitter;
    BCodeImageView *m_imageView;
    QWidget *m_output;
    QTabWidget *m_outputTabs;
    ResultOutputWidget *m_resultOutput;
    ResultOutputNetWidget *m_resultTable;
    ResultOutputTableWidget *m_testTable = nullptr;
    QuickTestSummary m_summary;
    LearnResult m_learnResult;
    QMap<QString, QVariant> m_changesBeforeLearning;  // code -> value of the changed list
    QMetaObject::Connection m_testTimes;
    QTimer *m_monitorCheck;
    bool m_monitorQueryOut = false;
};
