#include "frame/app_state.h"
