#pragma once

// Makes the program's pictures (":/icons/...") available. The windows call it before they use
// one; a resource file linked from a static library is not registered on its own.
void LoadResources();
