#include "frame/app_state.h"
#include "store/data_ops.h"
