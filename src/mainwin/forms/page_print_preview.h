#pragma once

class QWebEngineView;

// The print preview of a page on display, printed by the engine. Nothing happens without an engine
// (a null view).
void ShowPagePrintPreview(QWebEngineView* view);
