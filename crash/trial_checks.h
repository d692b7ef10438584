#pragma once

#include <QString>
#include <QStringList>

// What a trial's book is found to be after the program has started on it again.
namespace trial_checks {

struct Findings {
    QStringList faults;  // empty when the book holds up
    QString data;        // digest of the book's members, keywords, pictures and pages, marks left out
    QString marking;     // digest of the generation numbers and branch flags
    QString outputs;     // digest of the files the operations write for the user
};

// Starts the book at root as the program starts it (the copy holding the folder's lock), then checks
// it: every file passes the engine's check, every father is a member (or the member a root), no work
// file is left anywhere in the trial, the page starts the program shows are those a fresh walk cuts.
Findings StartAndCheck(const QString& root);

}  // namespace trial_checks
