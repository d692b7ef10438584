#include <QString>

#include "frame/app_state.h"
#include "platform/vbcompat.h"
