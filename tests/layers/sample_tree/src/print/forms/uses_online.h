#pragma once

#  include <online/user_record.h>
#include <QWidget>
