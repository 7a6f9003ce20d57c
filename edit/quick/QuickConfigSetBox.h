#pragma once
// The configuration-set box of the quick page: the reader's sets in a list, and buttons that
// enable or disable and rename the chosen one. Every change goes to the reader at once.
#include "KxDeviceTypes.h"

#include <QPointer>
#include <QWidget>

class ConfigLib;
class KxDeviceConnector;
class QComboBox;
class QLabel;
class QPushButton;

class QuickConfigSetBox : public QWidget
{
    Q_OBJECT
public:
    explicit QuickConfigSetBox(QWidget *parent = nullptr);

    // Loads the reader's sets; false (and the box hidden) when the reader has none.
    bool setDevice(QPointer<KxDeviceConnector> connector);
    QList<ConfigLib *> sets() const { return m_sets; }
    ConfigLib *currentSet() const;
    QComboBox *combo() const { return m_combo; }
    QPushButton *enableButton() const { return m_enable; }
    QPushButton *nameButton() const { return m_name; }

public slots:
    void toggleEnable();
    void rename();

signals:
    void configLibEnable();
    void configLibNameChange(int id, const QString &name);

private:
    void fill();
    void updateButtons();
    void applied(ConfigLib *set, bool ok);

    QPointer<KxDeviceConnector> m_connector;
    QList<ConfigLib *> m_sets;
    QLabel *m_title;
    QComboBox *m_combo;
    QPushButton *m_enable;
    QPushButton *m_name;
};
