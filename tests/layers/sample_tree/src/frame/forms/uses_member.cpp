#include "member/member_record.h"
