// The web server inside the program (thread WSCK): HTTP file serving with a
// form upload ("http-only") and the control protocol for web pages ("p7k").
//
// Only the WSCK thread touches the library, the client registry and the
// texts in progress. A line from a web client goes to the protocol loop as a
// _WSMSG on queue 12 plus a wake-up of the websocket listener; texts for web
// clients come back as _WSMSG records on queue 11 (websocket id 0 = every
// client), posted by any thread, each post followed by
// invoke_lws_callback_writeable_event().
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Connected "p7k" clients. Other threads read it without a lock to decide
// whether a copy for web clients is worth posting.
extern std::atomic<uint32_t> wsi_cnt;

// Thread body of row WSCK: builds the server on the board's websocket port
// and serves until the interrupt signal or a failure; a restart request
// (reset_lws_protocol) tears the server down and builds a new one.
void* lws_service_task(void*);

// Any thread, after posting on queue 11: the server thread takes every
// waiting record and writes it to its client(s), one text per writeable
// turn of each connection.
void invoke_lws_callback_writeable_event();

// Any thread but WSCK: stops the running server, closing every client, and
// waits until it is down (at most kResetWaitMs, with a message when that
// passes); WSCK then builds a new server with an empty registry and an empty
// queue 11. Returns at once when no server runs.
void reset_lws_protocol();
inline constexpr unsigned kResetWaitMs = 5000;

// The interrupt signal: before the server first started it ends the
// program; afterwards it stops only the server (lwsInterrupt).
bool lwsServerStarted();
void lwsInterrupt();

// The web pages' version, "major.minor.build": the raw texts after
// "\"major\":" and "\"minor\":" up to the next ',' and after "\"build\":" up
// to the next '}', read from the first 100 bytes of
// ../memfiles//web/version.json. A missing key gives an empty piece, a
// missing file an empty text. out holds at least kWebVersionSize bytes.
inline constexpr size_t kWebVersionSize = 104;
void get_web_version(char* out);
