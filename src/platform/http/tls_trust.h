#pragma once

#include <QString>

class QNetworkRequest;
class QSslConfiguration;

// The certificate authorities the program trusts for HTTPS: the system's, and those of the PEM file that
// the setting "server_ca" names (else $QENTARA_SERVER_CA), for a community server whose door carries a
// certificate of its own authority. "" names none.
QString ServerCaFile();

// The TLS configuration with that trust. A file that cannot be read adds nothing: the server is then
// trusted only as the system trusts it, and a certificate of another authority is refused.
QSslConfiguration ServerTlsConfiguration();

// Gives the request that trust.
void ApplyServerTrust(QNetworkRequest& request);
