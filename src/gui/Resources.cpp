#include "gui/Resources.h"

#include <QtGlobal>

void LoadResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(quillmere);
        return true;
    }();
    Q_UNUSED(loaded);
}
