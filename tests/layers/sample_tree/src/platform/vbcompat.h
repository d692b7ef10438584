#include "platform/vbcompat.h"
