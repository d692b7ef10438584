#include "frame/text_scramble.h"
#include <httplib.h>
