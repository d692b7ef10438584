#pragma once

#include <QString>
#include <memory>

class ClsMD5_1;

// The form in which a password travels to the community server: never the password itself but its MD5
// hex digest, scrambled with a key derived from a second text (the account number), so that one password
// gives different texts for different accounts. The "un" functions undo only the scrambling.
class ClsAdvPswd {
public:
    ClsAdvPswd();
    ~ClsAdvPswd();

    QString AdvPswd(const QString& text, const QString& key);
    QString unAdvPswd(const QString& text, const QString& key);
    QString Net_AdvPswd(const QString& text, const QString& key);
    QString Net_unAdvPswd(const QString& text, const QString& key);

private:
    QString digest(const QString& text);

    std::unique_ptr<ClsMD5_1> md5_;  // created on first use, kept for the object's life
};
