#include "ipp/http.h"

#include "core/outcome.h"
#include "core/text.h"

namespace ipp {
namespace {

using Writer = core::TextWriter;

template <std::size_t N>
std::size_t AppendField(std::uint8_t* out, std::size_t at, const char (&field)[N]) {
  for (std::size_t i = 0; i + 1 < N && field[i] != '\0'; ++i)
    out[at++] = static_cast<std::uint8_t>(field[i]);
  return at;
}

void WriteCredentials(Writer* w, const core::IppBlock* b) {
  // "UserName:PassWord"; both fields hold at most 64 characters.
  std::uint8_t credentials[sizeof(b->UserName) + sizeof(b->PassWord)];
  std::size_t n = AppendField(credentials, 0, b->UserName);
  credentials[n++] = ':';
  n = AppendField(credentials, n, b->PassWord);

  w->Text("Authorization: Basic ");
  std::size_t room = w->at < w->size ? w->size - w->at : 0;
  std::size_t encoded = Base64Encode(w->out + w->at, room, credentials, n);
  w->at += encoded;
  // Half a credential would be refused as a wrong password; say it did not fit.
  if (encoded != (n + 2) / 3 * 4) w->overflow = true;
  w->Text("\r\n");
}

}  // namespace

std::size_t BuildRequestHeader(const core::IppBlock* b, char* out, std::size_t out_size,
                               std::uint32_t body_length, bool chunking_allowed) {
  if (out_size == 0) return 0;
  Writer w{out, out_size - 1};
  if (b->UseProxy) {
    // A proxy needs the absolute form to know where to go.
    w.Text("POST http://");
    w.Field(b->host);
    w.Char(':');
    w.Number(b->port);
    w.Field(b->path);
  } else {
    w.Text("POST ");
    w.Field(b->path);
  }
  w.Text(" HTTP/1.1\r\n");
  w.Text("Host: ");
  w.Field(b->host);
  w.Char(':');
  w.Number(b->port);
  w.Text("\r\n");
  w.Text("Cache-Control: no-cache\r\n");
  w.Text("Pragma: no-cache\r\n");
  w.Text("Content-Type: application/ipp\r\n");
  w.Text("Accept: application/ipp\r\n");
  w.Text("User-Agent: QD-IPPC\r\n");
  if (b->Base64) WriteCredentials(&w, b);
  if (b->Chunked && chunking_allowed) {
    w.Text("Transfer-Encoding: chunked\r\n\r\n");
  } else {
    w.Text(b->UseProxy ? "Proxy-Connection: Keep-Alive\r\n" : "Connection: Keep-Alive\r\n");
    w.Text("Content-Length: ");
    w.Number(body_length);
    w.Text("\r\n\r\n");
  }
  if (w.overflow) {
    out[0] = '\0';
    return 0;
  }
  out[w.at] = '\0';
  return w.at;
}

std::size_t Base64Encode(char* out, std::size_t capacity, const std::uint8_t* in,
                         std::size_t length) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::size_t written = 0;
  for (std::size_t i = 0; i < length && capacity - written >= 4; i += 3) {
    std::size_t left = length - i;
    std::uint32_t group = static_cast<std::uint32_t>(in[i]) << 16;
    if (left > 1) group |= static_cast<std::uint32_t>(in[i + 1]) << 8;
    if (left > 2) group |= in[i + 2];
    out[written++] = kAlphabet[group >> 18 & 63];
    out[written++] = kAlphabet[group >> 12 & 63];
    out[written++] = left > 1 ? kAlphabet[group >> 6 & 63] : '=';
    out[written++] = left > 2 ? kAlphabet[group & 63] : '=';
  }
  return written;
}

std::size_t ChunkSizeLine(char* out, std::uint32_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kDigits[n & 15];
    n >>= 4;
  } while (n != 0);
  std::size_t at = 0;
  while (count > 0) out[at++] = digits[--count];
  out[at++] = '\r';
  out[at++] = '\n';
  out[at] = '\0';
  return at;
}

// ---------------------------------------------------------------------------
// Response reader

namespace {

constexpr std::uint32_t kSize = kHttpBufferSize;
// The longest chunk-size line taken, without its line end.
constexpr std::uint32_t kMaxSizeLine = 31;

// A line of the unparsed bytes: its length and that of its end. Lines end
// in CR LF; a bare LF is taken as well (RFC 7230 3.5).
struct Line {
  std::uint32_t length;
  std::uint32_t ending;
};

class Parser {
 public:
  explicit Parser(HttpReader* r) : r_(r) {}

  HttpStep Run() {
    for (;;) {
      if (!r_->header_complete) {
        if (!ParseHeader()) return Need();
        if (r_->result != HttpStep::kNeedMore) return r_->result;
        // Interim responses have no body; the final one follows.
        if (r_->status < 200 && r_->status != 101) {
          ResetState();
          continue;
        }
        // A final answer other than 2xx is known without its body, which
        // may well be larger than the buffers (an HTML error page).
        if (r_->status < 200 || r_->status > 299) {
          return Decide(HttpStep::kFailure, r_->status == 401 ? core::kIppNotAuthenticated : core::kSendOk);
        }
        if (!r_->chunked && r_->content_length > kSize) return Decide(HttpStep::kFailure, 0);
      }
      if (!r_->chunked) {
        if (Left() < r_->content_length) return Need();
        return Decide(HttpStep::kSuccess, 0);
      }
      if (!ParseChunks()) return Need();
      return r_->result;
    }
  }

  // Moves the unparsed bytes to the front, so the room is at the end.
  void Compact() {
    if (pos_ == 0) return;
    std::uint32_t left = Left();
    for (std::uint32_t i = 0; i < left; ++i) r_->receive[i] = r_->receive[pos_ + i];
    r_->filled = left;
    pos_ = 0;
  }

 private:
  std::uint32_t Left() const { return r_->filled - pos_; }
  const std::uint8_t* Data() const { return r_->receive + pos_; }

  void Consume(std::uint32_t n) {
    pos_ += n;
    r_->scanned = 0;
  }

  HttpStep Decide(HttpStep step, std::uint32_t code) {
    r_->result = step;
    r_->result_code = code;
    return step;
  }

  // More bytes are needed; with the buffer full they can never come.
  HttpStep Need() {
    if (r_->result == HttpStep::kNeedMore && Left() == kSize) return Decide(HttpStep::kFailure, 0);
    return r_->result;
  }

  void ResetState() {
    r_->status = 0;
    r_->header_complete = false;
    r_->chunked = false;
    r_->chunk_stage = 0;
    r_->chunk_size_broken = false;
    r_->chunk_size = 0;
    r_->content_length = 0;
    r_->body_length = 0;
  }

  // Resumes the search where the last call left off, so a long line fed a
  // byte at a time is not scanned again from its start each time.
  bool NextLine(Line* line) {
    const std::uint8_t* data = Data();
    std::uint32_t left = Left();
    for (std::uint32_t i = r_->scanned; i < left; ++i) {
      if (data[i] != '\n') continue;
      line->length = (i > 0 && data[i - 1] == '\r') ? i - 1 : i;
      line->ending = i + 1 - line->length;
      return true;
    }
    r_->scanned = left;
    return false;
  }

  // False: more bytes needed. True: the header is complete or the response
  // has been decided (malformed).
  bool ParseHeader() {
    Line line;
    while (NextLine(&line)) {
      const std::uint8_t* text = Data();
      if (r_->status == 0) {
        // Stray empty lines before a status line do no harm.
        if (line.length != 0 && !StatusLine(text, line.length)) {
          Decide(HttpStep::kFailure, 0);
          return true;
        }
      } else if (line.length == 0) {
        r_->header_complete = true;
      } else if (!Field(text, line.length)) {
        Decide(HttpStep::kFailure, 0);
        return true;
      }
      Consume(line.length + line.ending);
      if (r_->header_complete) return true;
    }
    return false;
  }

  // "HTTP/1.1 200 OK": three digits after the first space, then a space or
  // the end of the line.
  bool StatusLine(const std::uint8_t* text, std::uint32_t length) {
    std::uint32_t i = 0;
    while (i < length && text[i] != ' ') ++i;
    ++i;
    if (i + 3 > length) return false;
    std::uint32_t code = 0;
    for (std::uint32_t k = 0; k < 3; ++k) {
      std::uint8_t c = text[i + k];
      if (c < '0' || c > '9') return false;
      code = code * 10 + (c - '0');
    }
    if (i + 3 < length && text[i + 3] != ' ') return false;
    if (code < 100) return false;
    r_->status = static_cast<std::uint16_t>(code);
    return true;
  }

  static bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t'; }

  static bool NameIs(const std::uint8_t* name, std::uint32_t length, const char* expected) {
    if (length != core::TextLength(expected)) return false;
    for (std::uint32_t i = 0; i < length; ++i) {
      char c = static_cast<char>(name[i]);
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      char e = expected[i];
      if (e >= 'A' && e <= 'Z') e = static_cast<char>(e - 'A' + 'a');
      if (c != e) return false;
    }
    return true;
  }

  // Only the two fields that delimit the body matter; others, and lines
  // without a colon, are passed over. False for a Content-Length that is
  // not a number.
  bool Field(const std::uint8_t* text, std::uint32_t length) {
    std::uint32_t colon = 0;
    while (colon < length && text[colon] != ':') ++colon;
    if (colon == length) return true;
    std::uint32_t start = colon + 1;
    std::uint32_t end = length;
    while (start < end && IsSpace(text[start])) ++start;
    while (end > start && IsSpace(text[end - 1])) --end;
    const std::uint8_t* value = text + start;
    std::uint32_t value_length = end - start;

    if (NameIs(text, colon, "Transfer-Encoding")) {
      if (NameIs(value, value_length, "chunked")) {
        r_->chunked = true;
        r_->chunk_stage = 0;
        r_->chunk_size = 0;
      }
    } else if (NameIs(text, colon, "Content-Length")) {
      if (value_length == 0) return false;
      std::uint32_t n = 0;
      for (std::uint32_t i = 0; i < value_length; ++i) {
        if (value[i] < '0' || value[i] > '9') return false;
        // Past the buffer is as good as infinite; do not let it wrap.
        if (n <= kSize) n = n * 10 + (value[i] - '0');
      }
      r_->content_length = n;
    }
    return true;
  }

  // Hexadecimal digits only: a chunk extension (";name=value") is not a
  // number. A value beyond the buffer is clamped above it.
  static bool ChunkSize(const std::uint8_t* text, std::uint32_t length, std::uint32_t* size) {
    if (length == 0 || length > kMaxSizeLine) return false;
    std::uint32_t n = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
      std::uint8_t c = text[i];
      std::uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return false;
      }
      if (n <= kSize) n = n * 16 + digit;
    }
    *size = n;
    return true;
  }

  // False: more bytes needed. True: decided.
  bool ParseChunks() {
    for (;;) {
      if (r_->chunk_size_broken) return false;
      Line line;
      switch (r_->chunk_stage) {
        case 0: {
          if (!NextLine(&line)) {
            // A size line longer than any number it could hold.
            if (Left() > kMaxSizeLine + 2) r_->chunk_size_broken = true;
            return false;
          }
          std::uint32_t size = 0;
          if (!ChunkSize(Data(), line.length, &size)) {
            // Wait for data that never completes the chunk: the caller's
            // time-out ends it, as with a peer that stopped sending.
            r_->chunk_size_broken = true;
            return false;
          }
          if (size > kSize - r_->body_length) {
            Decide(HttpStep::kFailure, 0);
            return true;
          }
          Consume(line.length + line.ending);
          r_->chunk_size = size;
          r_->chunk_stage = size == 0 ? 3 : 1;
          break;
        }
        case 1:
          if (Left() < r_->chunk_size) return false;
          r_->chunk_stage = 2;
          break;
        case 2: {
          // The data must be followed by its line end; until that has
          // arrived, wait for it.
          const std::uint8_t* data = Data();
          std::uint32_t size = r_->chunk_size;
          std::uint32_t ending;
          if (Left() < size + 1) return false;
          if (data[size] == '\n') {
            ending = 1;
          } else if (data[size] == '\r') {
            if (Left() < size + 2) return false;
            if (data[size + 1] != '\n') {
              Decide(HttpStep::kFailure, 0);
              return true;
            }
            ending = 2;
          } else {
            Decide(HttpStep::kFailure, 0);
            return true;
          }
          for (std::uint32_t i = 0; i < size; ++i) r_->body[r_->body_length + i] = data[i];
          r_->body_length += size;
          Consume(size + ending);
          r_->chunk_stage = 0;
          break;
        }
        default:
          // After the last chunk: trailer fields, if any, up to an empty line.
          if (!NextLine(&line)) return false;
          Consume(line.length + line.ending);
          if (line.length == 0) {
            Decide(HttpStep::kSuccess, 0);
            return true;
          }
          break;
      }
    }
  }

  HttpReader* r_;
  std::uint32_t pos_ = 0;
};

}  // namespace

void HttpReaderInit(HttpReader* r, std::uint8_t* receive16k, std::uint8_t* body16k) {
  *r = HttpReader{};
  r->receive = receive16k;
  r->body = body16k;
  r->result = HttpStep::kNeedMore;
}

std::uint8_t* HttpReaderSpace(HttpReader* r, std::uint32_t* room) {
  *room = r->result == HttpStep::kNeedMore ? kSize - r->filled : 0;
  return r->receive + r->filled;
}

HttpStep HttpReaderReceived(HttpReader* r, std::uint32_t count, std::uint32_t* code) {
  if (r->result == HttpStep::kNeedMore) {
    std::uint32_t room = kSize - r->filled;
    r->filled += count < room ? count : room;
    Parser parser(r);
    parser.Run();
    parser.Compact();
  }
  *code = r->result_code;
  return r->result;
}

const std::uint8_t* HttpReaderBody(const HttpReader* r, std::uint32_t* length) {
  if (r->result != HttpStep::kSuccess) {
    *length = 0;
    return nullptr;
  }
  if (r->chunked) {
    *length = r->body_length;
    return r->body;
  }
  *length = r->content_length;
  return r->receive;
}

}  // namespace ipp
