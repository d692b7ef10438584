#pragma once

// The lists the account services keep in tempinfo, told apart by pageflag.

// The last account that logged on: one row, msg_id = the account id, msgName = its nickname.
constexpr int kLastLogonList = 6;
// The accounts other than the user's that created uploaded members (AutoGetRight's queue): msgName =
// the account id as text, msg_id = 0 until the server answered its right. A list of its own, so that
// building it keeps the last log-on account.
constexpr int kCreatorQueueList = 7;
