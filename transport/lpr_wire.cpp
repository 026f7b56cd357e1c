#include "transport/lpr_wire.h"

#include "core/text.h"

namespace transport {
namespace {

// The job number: the job id modulo 1000, always three digits.
void JobNumber(core::TextWriter* w, std::uint32_t job_id) {
  std::uint32_t n = job_id % 1000;
  w->Char(static_cast<char>('0' + n / 100));
  w->Char(static_cast<char>('0' + n / 10 % 10));
  w->Char(static_cast<char>('0' + n % 10));
}

// Names come from users and the registry; a line break in one would end
// its line early and start a command of its own (a document titled
// "x\nMroot" asks for mail). Each control character becomes one "_", so
// lengths and lines stay as they are.
void Name(core::TextWriter* w, const char* text) {
  for (; *text != '\0'; ++text) {
    auto c = static_cast<unsigned char>(*text);
    w->Char(c < 0x20 || c == 0x7F ? '_' : *text);
  }
}

void FileName(core::TextWriter* w, const char* prefix, std::uint32_t job_id, const char* host) {
  w->Text(prefix);
  JobNumber(w, job_id);
  Name(w, host);
}

}  // namespace

std::size_t ControlFileLength(const char* host, const char* user, const char* document) {
  using core::TextLength;
  return TextLength(user) + 2 * TextLength(document) + 3 * TextLength(host) + 2 * 3 + 18;
}

std::size_t BuildControlFile(char* out, const char* host, const char* user, const char* document,
                             std::uint32_t job_id) {
  core::TextWriter w{out, ControlFileLength(host, user, document)};
  w.Char('H'); Name(&w, host); w.Char('\n');
  w.Char('P'); Name(&w, user); w.Char('\n');
  w.Char('J'); Name(&w, document); w.Char('\n');
  w.Char('f'); FileName(&w, "dfA", job_id, host); w.Char('\n');
  w.Char('U'); FileName(&w, "dfA", job_id, host); w.Char('\n');
  w.Char('N'); Name(&w, document); w.Char('\n');
  return w.at;
}

std::size_t ReceiveJobCommand(char* out, const char* queue) {
  core::TextWriter w{out, 2 + core::TextLength(queue)};
  w.Char('\x02');
  Name(&w, queue);
  w.Char('\n');
  return w.at;
}

std::size_t ControlFileCommand(char* out, std::uint32_t length, std::uint32_t job_id,
                               const char* host) {
  core::TextWriter w{out, kSubcommandSize};
  w.Char('\x02');
  w.Number(length);
  w.Char(' ');
  FileName(&w, "cfA", job_id, host);
  w.Char('\n');
  return w.at;
}

std::size_t DataFileCommand(char* out, const std::uint32_t* length, std::uint32_t job_id,
                            const char* host) {
  core::TextWriter w{out, kSubcommandSize};
  w.Char('\x03');
  if (length != nullptr)
    w.Number(*length);
  else
    w.Text(kStreamedLength);
  w.Char(' ');
  FileName(&w, "dfA", job_id, host);
  w.Char('\n');
  return w.at;
}

}  // namespace transport
