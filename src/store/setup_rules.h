#pragma once

#include <QString>
#include <array>

// The settings record as the set-up and dealer-contact windows edit it: fields 1 to 7 of the settings
// string of Cls数据操作::ChgPswd2, by position (1-3 dealer web address, telephone, name; 4 members per
// tree page; 5 QQ or MSN account; 6-7 payment-account lines). Field 0 is not theirs and is never written.
class SettingsRecord {
public:
    static constexpr int kFirstField = 1;
    static constexpr int kLastField = 7;
    static constexpr int kMembersPerPageField = 4;

    // Reads the record of the members database; fields missing from a short record read "".
    // Database errors reach the caller as dao::DaoError.
    static SettingsRecord Load();

    // Writes both rows, scrambled with the settings key. Every field loses its "%", the separator, so
    // that no value can shift the fields after it. Database errors reach the caller, nothing written.
    void Save() const;

    // "" outside 1 to 7.
    QString field(int position) const;
    void setField(int position, const QString& value);

    // The two lists as stored before scrambling: fields 1 to 4, and fields 5 to 7, "%"-joined.
    QString Row0List() const;
    QString Row1List() const;

private:
    std::array<QString, kLastField + 1> fields_;
};

// Text as it may go into the settings record: without the field separator "%".
QString SettingsFieldText(const QString& text);

// Members per tree page from what the user typed: the leading number rounded to a whole number (half to
// even), at least 5 and at most the 32-bit maximum; text without a number, or one too large to read,
// gives 5.
qint32 MembersPerPage(const QString& text);

// Leading characters of the father's name taken as the surname while that option is on: the leading
// number rounded (half to even), at least 1 and at most the 16-bit maximum the value is kept in.
qint32 SurnameChars(const QString& text);
