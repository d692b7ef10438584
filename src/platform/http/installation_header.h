#pragma once

// The request header that carries an installation's own secret to the community server's board and
// e-book pages: the numbers those pages take are learnable, the secret is not. Never in a query, which
// ends up in logs.
inline constexpr char kInstallationSecretHeader[] = "X-Installation-Secret";
