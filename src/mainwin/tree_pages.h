#pragma once

#include <QString>

// The main window's numbers for the tree pages and the work queue its page walks share with the
// store's page jump (Cls数据操作::Node分结点数跳页).

// Members per page when the book's settings hold fewer than 5 (or no number).
constexpr qint32 kDefaultNodesPerPage = 30;

// Members per page from the book's settings list (Cls数据操作::ChgPswd2): field 4, counted from 0.
qint32 NodesPerPageFromSettings(const QString& settingsList);
// Pages for that many members: the quotient, plus one for a remainder.
qint32 PageCountFor(qint64 members, qint32 nodesPerPage);
// The stored "dividerpage" setting: only "True" means the page division is stale.
bool RepaginateFromSetting(const QString& value);

// Empties the work queue and queues the starts of a page in their order, as the page jump expects them
// before it expands the page after.
void QueuePageStarts(qint32 page);
// Whether the queue holds no member left to place.
bool PageQueueEmpty();
