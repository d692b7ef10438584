#pragma once

#include <QString>

// The style names a member's page heading is made of: the field "c_jc_w_z_h" split at "%" into the
// generation title (always starting with 世, "世祖" when empty), the display-name code, 讳, 字, 号 and 谥号.
struct StyleNames {
    QString title, code, wei, zhi, hao, shi;
};
StyleNames ParseStyleNames(const QString& field);

// The name as the heading shows it under the display-name code: "1" 公 after the surname, "2" the given
// name and 公, "3" the name and 公, "4" 世祖庙讳 and the 讳 (else the name), any other code the name.
QString HeadingName(const StyleNames& names, const QString& name, qsizetype surnameLength);
