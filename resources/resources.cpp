#include "resources.h"

#include <QtCore/qglobal.h>
#include <QtCore/qresource.h>

// Q_INIT_RESOURCE must be used outside any namespace.
static void init_resources_once()
{
    Q_INIT_RESOURCE(orvypc);
}

void init_orvypc_resources()
{
    static const bool done = (init_resources_once(), true);
    (void)done;
}
