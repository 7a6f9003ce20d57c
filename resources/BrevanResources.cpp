#include "BrevanResources.h"

#include <QtGlobal>

void brevanInitResources()
{
    Q_INIT_RESOURCE(brevan);
    Q_INIT_RESOURCE(brevan_fonts);
}
