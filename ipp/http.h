// The HTTP/1.1 layer under IPP: the request header of an IPP POST, chunk
// framing, and an incremental response reader. Platform-free: sockets and
// time-outs stay with the caller, which feeds the reader what it received.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/port_entry.h"

namespace ipp {

inline constexpr std::size_t kRequestHeaderSize = 1536;

// Writes the request header for an IPP body of body_length bytes into out
// and terminates it with a zero that the length does not count. The chunked
// form is only used when the port has Chunked set and the caller allows it.
// Returns 0 if the header does not fit out_size (it always fits 1536 bytes
// for fields that hold terminated texts).
std::size_t BuildRequestHeader(const core::IppBlock* b, char* out, std::size_t out_size,
                               std::uint32_t body_length, bool chunking_allowed);

// RFC 2045 alphabet with "=" padding, no line breaks, no terminator. Stops
// before a group that has fewer than four characters of room; returns the
// number of characters written.
std::size_t Base64Encode(char* out, std::size_t capacity, const std::uint8_t* in,
                         std::size_t length);

// "%x\r\n" in lower case, terminated; out holds at least 16 bytes. Returns
// the length without the terminator (at most 10).
inline constexpr std::size_t kChunkSizeLineSize = 16;
std::size_t ChunkSizeLine(char* out, std::uint32_t n);

inline constexpr char kLastChunk[] = "0\r\n\r\n";

// Responses are read into one buffer and a chunked body gathered into a
// second; a response that needs more is refused, not truncated.
inline constexpr std::uint32_t kHttpBufferSize = 16384;

enum class HttpStep { kNeedMore, kSuccess, kFailure };

// Parse state of one response. The two buffers belong to the caller and
// must stay alive while the reader and its body are used.
struct HttpReader {
  std::uint8_t* receive;      // kHttpBufferSize bytes; unparsed bytes at its start
  std::uint8_t* body;         // kHttpBufferSize bytes; the gathered chunked body
  std::uint32_t filled;       // unparsed bytes at the start of receive
  std::uint32_t scanned;      // of those, bytes known to hold no line end
  std::uint32_t body_length;  // bytes gathered into body
  std::uint16_t status;       // of the status line read last; 0 before one
  bool header_complete;
  bool chunked;
  std::uint8_t chunk_stage;  // 0 size line, 1 waiting for data, 2 data and its CR LF, 3 trailer
  bool chunk_size_broken;    // a size line that is not a number: never completes
  std::uint32_t chunk_size;
  std::uint32_t content_length;
  HttpStep result;  // kNeedMore until the response has been decided
  std::uint32_t result_code;
};

void HttpReaderInit(HttpReader* r, std::uint8_t* receive16k, std::uint8_t* body16k);

// Where the next receive goes and how much fits there. After kNeedMore the
// room is never 0; it is 0 only once the response has been decided.
std::uint8_t* HttpReaderSpace(HttpReader* r, std::uint32_t* room);

// Call after count bytes were received into the space (more than the room
// is taken as the room). Parses as far as the bytes allow:
//  - kNeedMore: receive more and call again;
//  - kSuccess: a 2xx response with its whole body (see HttpReaderBody);
//  - kFailure: *code kIppNotAuthenticated for 401 Unauthorized, otherwise 0 (any other final
//    status, malformed framing, or a response larger than the buffers).
// Interim 1xx responses (other than 101) are skipped. Once decided, the same
// result and code are returned again.
HttpStep HttpReaderReceived(HttpReader* r, std::uint32_t count, std::uint32_t* code);

// The IPP body of a successful response; null with *length 0 otherwise.
const std::uint8_t* HttpReaderBody(const HttpReader* r, std::uint32_t* length);

}  // namespace ipp
