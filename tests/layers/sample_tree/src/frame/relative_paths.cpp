#include "../store/data_ops.h"
#include "frame/../store/page_file.h"
#include "text_utils.h"
