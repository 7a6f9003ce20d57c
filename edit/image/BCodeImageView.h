#pragma once
// The live image of a reader: a tool bar (get image, play/stop, save, auto-save, fit or
// original size, full screen, image settings, decode image files, side panel), the image with
// its found codes and decode areas, and the image wall beside it.
#include "KxDeviceConnector.h"

#include <QPointer>
#include <QWidget>

class BCodeImageCanvas;
class BCodeImageViewPrivate;
class BCodeImageWall;
class QLabel;
class QScrollArea;
class QToolButton;

class BCodeImageView : public QWidget
{
    Q_OBJECT
public:
    explicit BCodeImageView(QWidget *parent = nullptr);
    ~BCodeImageView() override;

    // Opens the reader: the blank image of its sensor and its decode areas. A reader without
    // "IMGGWH" gets no blank image.
    void setDevice(QPointer<KxDeviceConnector> connector);
    bool hasImageSupport() const;

    BCodeImageViewPrivate *d() const { return m_d; }
    BCodeImageCanvas *canvas() const { return m_canvas; }
    BCodeImageWall *wall() const { return m_wall; }
    QToolButton *button(const QString &objectName) const;
    QWidget *fullScreenWindow() const { return m_fullWindow; }
    QString statusText() const;

    // Shows the waiting text of a fetch or a decode run; empty hides it.
    void setBusyText(const QString &textKey);
    // Updates the play button and the other buttons to the current state.
    void updateButtons();

signals:
    void OnSignalBarcodeImageViewPlay(bool bPlay);
    void OnSignalBarcodeImageWidgetMonitor(bool bMonitor, bool bMonitorFlag);
    void decodeResult(const QString &imageFile, bool decodeRes, const QString &decodeData,
                      int decodeTime);

public slots:
    void OnSlotBarcodeImageViewMonitor(bool bMonitor, bool bMonitorFlag);
    void OnFullScreenRequested(bool state);
    void onGetImage();
    void onPlayToggled(bool play);
    void onSaveImage();
    void onImageSettings();
    void onDecodeFiles();

private:
    QToolButton *addTool(const QString &name, const QString &textKey, const QString &iconBase,
                         bool checkable = false);
    void retranslate();

    BCodeImageViewPrivate *m_d;
    BCodeImageCanvas *m_canvas;
    QScrollArea *m_scroll;
    BCodeImageWall *m_wall;
    QLabel *m_status;
    QWidget *m_toolbar;
    QWidget *m_fullWindow = nullptr;
    BCodeImageCanvas *m_fullCanvas = nullptr;
    QString m_busyKey;
};
