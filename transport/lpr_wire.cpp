#include "transport/lpr_wire.h"

#include "monitor/text.h"

namespace transport {
namespace {

struct Writer {
  char* out;
  std::size_t at = 0;
  void Char(char c) { out[at++] = c; }
  void Text(const char* text) {
    while (*text != '\0') out[at++] = *text++;
  }
  void Number(std::uint32_t value) {
    char digits[10];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n > 0) out[at++] = digits[--n];
  }
  // The job number: the job id modulo 1000, always three digits.
  void JobNumber(std::uint32_t job_id) {
    std::uint32_t n = job_id % 1000;
    Char(static_cast<char>('0' + n / 100));
    Char(static_cast<char>('0' + n / 10 % 10));
    Char(static_cast<char>('0' + n % 10));
  }
  void FileName(const char* prefix, std::uint32_t job_id, const char* host) {
    Text(prefix);
    JobNumber(job_id);
    Text(host);
  }
};

}  // namespace

std::size_t ControlFileLength(const char* host, const char* user, const char* document) {
  using monitor::TextLength;
  return TextLength(user) + 2 * TextLength(document) + 3 * TextLength(host) + 2 * 3 + 18;
}

std::size_t BuildControlFile(char* out, const char* host, const char* user, const char* document,
                             std::uint32_t job_id) {
  Writer w{out};
  w.Char('H'); w.Text(host); w.Char('\n');
  w.Char('P'); w.Text(user); w.Char('\n');
  w.Char('J'); w.Text(document); w.Char('\n');
  w.Char('f'); w.FileName("dfA", job_id, host); w.Char('\n');
  w.Char('U'); w.FileName("dfA", job_id, host); w.Char('\n');
  w.Char('N'); w.Text(document); w.Char('\n');
  return w.at;
}

std::size_t ReceiveJobCommand(char* out, const char* queue) {
  Writer w{out};
  w.Char('\x02');
  w.Text(queue);
  w.Char('\n');
  return w.at;
}

std::size_t ControlFileCommand(char* out, std::uint32_t length, std::uint32_t job_id,
                               const char* host) {
  Writer w{out};
  w.Char('\x02');
  w.Number(length);
  w.Char(' ');
  w.FileName("cfA", job_id, host);
  w.Char('\n');
  return w.at;
}

std::size_t DataFileCommand(char* out, const std::uint32_t* length, std::uint32_t job_id,
                            const char* host) {
  Writer w{out};
  w.Char('\x03');
  if (length != nullptr)
    w.Number(*length);
  else
    w.Text(kStreamedLength);
  w.Char(' ');
  w.FileName("dfA", job_id, host);
  w.Char('\n');
  return w.at;
}

}  // namespace transport
