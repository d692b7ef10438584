#pragma once

class PageService;

// Every page of the community server, one function per area; each adds its pages to the service.
void RegisterAccountPages(PageService& service);  // log-on form, user record, rights, associations
void RegisterEbookPages(PageService& service);    // e-book library: categories, search, publishing
void RegisterGroupPages(PageService& service);    // the clan-association windows
void RegisterBoardPages(PageService& service);    // the service-desk message board
void RegisterPublicPages(PageService& service);   // an account's members as the world may see them

void RegisterAllPages(PageService& service);
