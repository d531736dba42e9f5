#include "widgets/gui_resources.h"

#include <QtCore/qglobal.h>

static void RegisterResources() { Q_INIT_RESOURCE(resources); }

void InitGuiResources() {
    static const bool done = (RegisterResources(), true);
    (void)done;
}
