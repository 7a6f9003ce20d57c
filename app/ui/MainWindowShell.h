#pragma once
// The plain main window the program shows until the real one with its pages takes its place.
#include <QMainWindow>

class MainWindowShell : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindowShell(QWidget *parent = nullptr);

    // True when the window opens in normal size instead of maximised.
    bool openNormalSize() const { return m_openNormalSize; }
    void setOpenNormalSize(bool normal) { m_openNormalSize = normal; }

private:
    bool m_openNormalSize = false;
};
