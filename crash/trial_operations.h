#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The operations the trials kill, each as its command runs it (the core of the command with the page
// work the window does after it), on the book and inputs of trial_book.
namespace trial_operations {

QStringList Names();
// Whether the operation's result lies in the generation numbers and branch flags, which the other
// operations only use as marks to act on.
bool ResultIsMarking(const QString& name);
// Runs it in this process on the trial at root, calling ready once the book is open; throws what the
// operation throws.
void Run(const QString& name, const QString& root, const std::function<void()>& ready);

}  // namespace trial_operations
