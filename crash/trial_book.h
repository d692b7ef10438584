#pragma once

#include <QString>

// The folder of one trial: the book (the program's book folder), the inputs the operations read, the
// folder their outputs go to, the temporary folder and the settings folder of the child processes.
namespace trial_book {

QString BookDir(const QString& root);
QString InputDir(const QString& root);
QString OutputDir(const QString& root);
QString TempDir(const QString& root);
QString ConfigDir(const QString& root);

// Points this process at the trial: book folder, settings. Call before anything touches the book.
void UseTrial(const QString& root);

// Names the operations share with the book.
QString Root();          // the book's root member
QString BranchMember();  // a member with a branch of its own below it
QString ImportUnder();   // the member a package is loaded under
constexpr int kNodesPerPage = 30;
constexpr int kRecordedPages = 6;

// Makes the book of `members` members with pages, pictures, keywords, a help branch, server ids and
// recorded page starts, and the inputs: a branch package, a help package, a folder of page files and a
// downloaded tree staged for the merge.
void Make(const QString& root, int members, unsigned seed);

}  // namespace trial_book
