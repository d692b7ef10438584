#pragma once

// What a run killed in the middle of an operation leaves behind, taken away when the program starts
// (by the copy that holds the book folder's lock): work files beside the packages it wrote, the
// download's staging file, the e-book's work folders and the import's private copies; and a help
// update that had taken the old help branch out without merging the new one gets the old one back, and
// pages cut before a command changed the tree are cut again.
void RemoveKilledRunLeftovers();
