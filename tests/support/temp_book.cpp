#include "support/temp_book.h"

TempBook::TempBook() : previousHome_(qgetenv("QENTARA_HOME")) {
    qputenv("QENTARA_HOME", dir_.path().toUtf8());
}

TempBook::~TempBook() {
    if (previousHome_.isEmpty())
        qunsetenv("QENTARA_HOME");
    else
        qputenv("QENTARA_HOME", previousHome_);
}

QString TempBook::path() const {
    return dir_.path() + "/";
}
