#pragma once

#include <QString>

// What the e-book windows share: the local tables of the library, the fixed database password every
// published e-book carries, and the key its addresses are kept under.

// Every published e-book database opens with this password; the import relies on it.
inline constexpr char kEbookDbPassword[] = "586";

// The key of the concealed fields of newdown_eb (save_path, eb_innerno).
QString EbookListKey();

// The staging file each downloaded e-book goes to before its import.
QString EbookStagingPath();

// The leading number of a reply or a field (Val); 0 when there is none or it is out of range.
double LeadingNumber(const QString& text);
// The same as a whole number (its fraction dropped); 0 as well beyond what a 64-bit number holds, which
// only a damaged or hostile reply carries.
qint64 LeadingWhole(const QString& text);

// Creates newdown_eb and olddown_eb in the members file when a book made before them lacks them.
void EnsureEbookTables();
