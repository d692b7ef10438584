#include "app/forms/launcher_form.h"
#include "community/forms/frm_update.h"
#include "mainwin/forms/dsptree.h"
