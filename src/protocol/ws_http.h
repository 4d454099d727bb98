// The "http-only" subprotocol of the web server: files of the web folder,
// the form upload and the relay test. Runs on the WSCK thread only.
#pragma once

#include <cstddef>
#include <libwebsockets.h>
#include <string>

// The per-connection data the library keeps for an HTTP connection.
struct HttpSession;
extern const size_t kHttpSessionSize;

int callback_http(lws* wsi, lws_callback_reasons reason, void* user, void* in, size_t len);

// The library's file-open operation of a new server, wrapped: every open is
// logged and a file outside the web folder is never opened.
void wrapFileOpen(lws_context* context);

// The web folder, mapped under the board root.
std::string webRoot();
