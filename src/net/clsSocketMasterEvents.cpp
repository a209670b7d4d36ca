#include "net/clsSocketMasterEvents.h"
