#pragma once

// After downloaded or updated members were merged into the book: the page starts are recomputed and
// every open main window shows its first page again. A database failure is reported in a box.
void RebuildMainTreesAfterImport();
