// The bytes of an LPR (RFC 1179) job header. Platform-free, so the exact
// wire format is tested on its own.
#pragma once
#include <cstddef>
#include <cstdint>

namespace transport {

// What "125899906843000" announces: a data file that ends when the
// connection closes, for jobs whose size is not known yet.
inline constexpr char kStreamedLength[] = "125899906843000";

// Exact length of the control file for these names.
std::size_t ControlFileLength(const char* host, const char* user, const char* document);

// Writes the control file (no terminator) into out, which holds at least
// ControlFileLength() + 1 bytes; returns its length.
std::size_t BuildControlFile(char* out, const char* host, const char* user, const char* document,
                             std::uint32_t job_id);

// "\x02queue\n". Returns the length; out holds at least 2 + strlen(queue) + 1.
std::size_t ReceiveJobCommand(char* out, const char* queue);

// "\x02LEN cfANNNhost\n" (control) or "\x03LEN dfANNNhost\n" (data; a null
// length announces the streamed length). out holds at least 96 bytes.
inline constexpr std::size_t kSubcommandSize = 96;
std::size_t ControlFileCommand(char* out, std::uint32_t length, std::uint32_t job_id,
                               const char* host);
std::size_t DataFileCommand(char* out, const std::uint32_t* length, std::uint32_t job_id,
                            const char* host);

}  // namespace transport
