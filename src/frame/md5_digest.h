#pragma once

#include <QByteArray>
#include <QString>

// MD5 digests as the program has always stored and sent them. The block transform is RFC 1321's, but the
// last block differs from the RFC for lengths of 56 mod 64 (no 0x80 byte) and for lengths of 57..63 mod
// 64 beyond the first block (the length bytes overwrite the message's last bytes). Stored password digests
// depend on this, so it must stay as it is.
//
// Failures (a text character that is not one byte in code page 936, a message of 2^28 bytes or more, an
// unreadable file) give "" from the digest functions and set LastFailed() until the next MD5Init.
class ClsMD5_1 {
public:
    ClsMD5_1();

    QString RegisterA() const;
    QString RegisterB() const;
    QString RegisterC() const;
    QString RegisterD() const;
    QString DigestFileToHexStr(const QString& path);
    QString DigestStrToHexStr(const QString& text);
    QString GetValues() const;
    void MD5Init();
    void MD5Final();
    void MD5Update(qint32 len, const QByteArray& bytes);
    void MD5Update(qint32 len, const uchar* bytes);
    qint32 LongLeftRotate(qint32 value, int bits) const;

    bool LastFailed() const { return failed_; }

private:
    void Transform();

    quint32 state_[4];
    uchar buffer_[64];
    qint32 counter_ = 0;  // bytes fed since MD5Init; MD5Final may lower it to overwrite the last block
    bool failed_ = false;
};
