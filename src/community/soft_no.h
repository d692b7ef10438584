#pragma once

#include <QString>

// The installation number: twelve decimal digits, the same on every run of this program with this book
// folder on this computer, different for another folder or computer.
QString MakeSoftNo();
