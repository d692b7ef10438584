#include "pages/pages_catalogue.h"

void RegisterAllPages(PageService& service) {
    RegisterAccountPages(service);
    RegisterEbookPages(service);
    RegisterGroupPages(service);
    RegisterBoardPages(service);
    RegisterPublicPages(service);
}
