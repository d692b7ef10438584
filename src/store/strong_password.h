#pragma once

#include <QString>

namespace dao {
class Database;
}

// The strong password that protects a package. It is never stored: a package keeps only its digest,
// concealed, in the first row of its table myStrgPswd (field Pswd), and the presence of that table marks
// the package as protected.
namespace strong_password {

// True when every character is one byte in code page 936 and comes back from it unchanged. The digest
// is taken of those bytes, so any other character could not take part in it.
bool IsSingleByteText(const QString& password);

// The MD5 hex digest (32 upper-case digits) of the password without its leading and trailing blanks;
// "" when the password holds a character that IsSingleByteText refuses.
QString Digest(const QString& password);

// The stored form of a digest in myStrgPswd, and back.
QString ConcealDigest(const QString& digest);
QString RevealDigest(const QString& stored);

// Whether the package carries the strong-password record; a table that cannot be looked for counts as
// present, so that a damaged package is checked rather than waved through.
bool HasRecord(dao::Database& package);

// The digest kept in the package's record; "" when the table has no row or cannot be read.
QString StoredDigest(dao::Database& package);

}  // namespace strong_password
