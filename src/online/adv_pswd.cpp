#include "online/adv_pswd.h"

#include <QStringEncoder>

#include "frame/md5_digest.h"
#include "frame/text_scramble.h"

ClsAdvPswd::ClsAdvPswd() = default;
ClsAdvPswd::~ClsAdvPswd() = default;

QString ClsAdvPswd::digest(const QString& text) {
    if (!md5_) md5_ = std::make_unique<ClsMD5_1>();
    const QString hex = md5_->DigestStrToHexStr(text);
    if (!md5_->LastFailed()) return hex;
    // The one-byte digest has no answer for a Chinese password; an empty digest would make every such
    // password the same, so those are digested over their GB18030 bytes (identical for one-byte texts).
    QStringEncoder gb18030("GB18030");
    const QByteArray bytes = gb18030.isValid() ? QByteArray(gb18030.encode(text)) : text.toUtf8();
    md5_->MD5Init();
    md5_->MD5Update(qint32(bytes.size()), bytes);
    md5_->MD5Final();
    return md5_->GetValues();
}

QString ClsAdvPswd::AdvPswd(const QString& text, const QString& key) {
    return EncodeText(digest(text), DeriveKey(key));
}

QString ClsAdvPswd::unAdvPswd(const QString& text, const QString& key) {
    return DecodeText(text, DeriveKey(key));
}

QString ClsAdvPswd::Net_AdvPswd(const QString& text, const QString& key) {
    return EncodeTextEx(digest(text), DeriveKey(key));
}

QString ClsAdvPswd::Net_unAdvPswd(const QString& text, const QString& key) {
    return DecodeTextEx(text, DeriveKey(key));
}
