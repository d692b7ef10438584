#pragma once

#include <QString>
#include <QTemporaryDir>

// A throwaway book folder: $QENTARA_HOME points at it for the life of the object.
class TempBook {
public:
    TempBook();
    ~TempBook();
    QString path() const;  // ends with "/"
    QString file(const QString& name) const { return path() + name; }

private:
    QTemporaryDir dir_;
    QByteArray previousHome_;
};
