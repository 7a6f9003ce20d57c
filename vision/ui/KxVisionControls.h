#pragma once
// Controls of vision tool pages: a region "x,y,w,h" that can also be drawn on the image, and a
// colour range "h1,s1,v1|h2,s2,v2". Point, line, size and range come from the standard set.
#include "KxPairControls.h"

class KxZuRectangleBox : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxZuRectangleBox(QObject *parent = nullptr);
    QRect rect() const;
    // Takes a region drawn on the image and reports it as an edit.
    void setRect(const QRect &r);
};

class KxColorRange : public KxSpinGroupControl
{
    Q_OBJECT
public:
    explicit KxColorRange(QObject *parent = nullptr);
};

namespace KxVisionControls {
// Registers "ZuRectangleBox", "ColorRange" and the "ZuKit..." kinds the tool pages use.
void registerAll();
}
