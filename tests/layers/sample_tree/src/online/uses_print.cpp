#include "online/user_record.h"
#include "print/print_tree.h"
#include "store/data_ops.h"
