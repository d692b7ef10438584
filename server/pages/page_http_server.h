#pragma once

#include <httplib.h>

// The page service's HTTP server: the library's, with each connection served by a loop of our own, so
// that a handler knows the socket its request came on (to notice a caller that hung up while its work
// runs) and memory a large request took goes back to the system once the request is gone.
class PageHttpServer : public httplib::Server {
public:
    // The socket of the request the calling thread serves; -1 outside a handler.
    static int CurrentSocket();
    // Asks that the memory the request just served took be given back once it is gone (a large body).
    static void TrimAfterRequest();

private:
    bool process_and_close_socket(socket_t sock) override;
};
