#pragma once

// Qt's own texts (the standard buttons 是/否/确定/取消, the file dialogs) in the interface language:
// Traditional for language 1, Simplified otherwise, as the interface itself is written in Simplified.
// Returns whether Qt's translation for it was found; without it the buttons stay in English.
bool UseQtTranslations(int languageId);
