#pragma once

#include <QList>
#include <QVariant>

namespace dao {

// Values bound to a statement, in order of its "?" markers. A null QVariant binds NULL, bool binds 0/1.
using Params = QList<QVariant>;

}  // namespace dao
