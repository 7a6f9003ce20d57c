#pragma once
// The state and work behind BCodeImageView: fetching (one image, or one after another while
// playing) through jobs of the reader's command worker, the blank image, decode areas, local
// decoding, automatic and manual saving. Nothing here waits on the reader.
#include "BCodeImageOptions.h"
#include "BCodeRoiString.h"
#include "KxDecodeImage.h"
#include "KxDeviceConnector.h"

#include <QMutex>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QStringList>

class BCodeImageView;
class DeviceImageSaver;
class KxDeviceCommand;

class BCodeImageViewPrivate : public QObject
{
    Q_OBJECT
public:
    explicit BCodeImageViewPrivate(BCodeImageView *view);
    ~BCodeImageViewPrivate() override;

    void setDevice(QPointer<KxDeviceConnector> connector);
    KxDeviceCommand *command() const;

    // One image from the reader; false when a fetch is outstanding or no reader is open.
    bool getImage();
    bool isReady() const { return m_ready; }
    bool isPlaying() const { return m_playing; }
    bool hasImage() const;
    QByteArray lastImageBytes() const;
    QByteArray lastExtData() const;
    QPixmap lastPixmap() const;

    void setAutoSave(bool on) { m_autoSave = on; }
    bool autoSave() const { return m_autoSave; }
    void reloadOptions() { m_options = BCodeImageOptions::load(); }
    const BCodeImageOptions &options() const { return m_options; }

    QSize sensorSize() const { return m_sensor; }
    QSize shownSize() const { return m_shown; }
    double penWidthRate() const { return m_penWidthRate; }
    double penHeighRate() const { return m_penHeighRate; }

    // The decode areas in reader pixels, as the reader's values give them.
    QList<BCodeRoi> readerRois() const;
    // The name auto-save chose for the last image (or the disk-full warning); empty when none.
    QString lastAutoSaveName() const { return m_lastAutoSaveName; }
    DeviceImageSaver *saver() const { return m_saver; }

    // Manual save of the shown image; true when written.
    bool saveImageTo(const QString &path, const QString &selectedFilter);

signals:
    void fullScreenRequested(bool state);
    void imageShown();
    void fetchFinished(bool ok);
    void decodeFinished(const QString &file, bool ok, const QString &text, int timeMs);
    void localDecodeDone();
    void roiSent(bool ok);

public slots:
    void OnSignalBarcodeImageWidgetPlay(bool bPlay);
    void showImage(const QByteArray &byteDataImage, const QByteArray &byteDataExt);
    void showImageFromWall(const QByteArray &img, const QByteArray &ext, const QString &file);
    void fullScreenStateChanged(bool state);
    void OnSlotBarcodeImageWidgetMonitor(bool bMonitor, bool bMonitorFlag);
    void decodeImage(bool decodeStart, const QStringList &imageFileList);
    void OnCmdChanged(const QStringList &cmds, bool bEmitValueChanged);
    void OnCmdValueChanged(const QMap<QString, QByteArray> &changed_cmds, bool bBlockSignals);
    // A dragged decode area, in shown-image pixels.
    void OnROIChanged(int toolId, const QRect &infos);
    void OnImageReceived(bool bResult, const QByteArray &img, const QByteArray &ext);

private:
    void showBlank();
    void redrawRois();
    void decodeShown(const QByteArray &bytes, const QImage &image, const QString &file);
    void decodeNextFile();
    void runAutoSave(const QImage &image, const QString &decodedText);
    void scheduleNextFetch();
    void sendMonitor(bool on);

    BCodeImageView *q;
    QPointer<KxDeviceConnector> m_connector;
    QSize m_sensor;
    QSize m_shown;
    double m_penWidthRate = 1.0;
    double m_penHeighRate = 1.0;
    BCodeImageOptions m_options;
    bool m_ready = true;
    bool m_playing = false;
    bool m_autoSave = false;
    bool m_decoding = false;  // a live-image decode is running; newer images skip theirs
    QStringList m_filesToDecode;
    QString m_lastAutoSaveName;
    DeviceImageSaver *m_saver = nullptr;

    mutable QMutex m_mutex;  // the fields below: the fetch job fills them on the worker
    bool m_hasImage = false;
    QByteArray m_imageBytes;
    QByteArray m_extData;
    QPixmap m_pixmap;
};
