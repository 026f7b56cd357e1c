// The queue name query against the lab's test print server
// (tests/peers/queue_server.py), which answers on one port per behaviour
// and logs every packet it receives.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "discovery/query.h"
#include "ui/queue_list.h"
#include "discovery/query_wire.h"
#include "tests/wine/gui/gui.h"
#include "tests/wine/lab/lab.h"

namespace {

// The server's ports, as the lab script starts them.
constexpr std::uint16_t kOnePiece = 19541;     // "LPT1", "COM1"
constexpr std::uint16_t kThreePieces = 19542;  // "LPT1", "COM1", "LPT2", "SIO", "PRN"
constexpr std::uint16_t kWrongOffset = 19543;  // each piece first with a wrong offset
constexpr std::uint16_t kSilent = 19544;
constexpr std::uint16_t kTooBig = 19545;       // more than 1024 bytes in all
constexpr std::uint16_t kPrinterNames = 19546;  // "prn", "Printer"
constexpr std::uint16_t kUnknownNames = 19547;  // "LPT12", "FOO"
constexpr std::uint16_t kWrongType = 19548;    // each piece first with a wrong type

// The lab's print server, by the address the wizard would have put in
// its server field.
std::string ServerText() { return lab::Env("VEXA_QUERY_SERVER"); }
std::uint32_t Server() { return inet_addr(ServerText().c_str()); }

struct Packet {
  int type;
  int offset;
};

// Every packet the server received on `port`, in order; a line that does
// not carry the constant fields is a fault of the client.
std::vector<Packet> Received(std::uint16_t port) {
  std::vector<Packet> packets;
  const std::string log = "/" + std::to_string(port) + ".log";
  std::istringstream lines(lab::ReadFile("VEXA_QUERY_LOG_DIR", log));
  std::string line;
  while (std::getline(lines, line)) {
    EXPECT_NE(line.find("word=1 "), std::string::npos) << line;
    EXPECT_NE(line.find("command=GET PORT_NAME "), std::string::npos) << line;
    // The server flags a packet that is not 88 bytes or whose command field
    // is not zero-padded.
    EXPECT_EQ(line.rfind("fixed=512"), line.size() - 9) << line;
    Packet packet = {-1, -1};
    std::sscanf(line.c_str(), "type=%d", &packet.type);
    std::size_t at = line.find("offset=");
    if (at != std::string::npos) std::sscanf(line.c_str() + at, "offset=%d", &packet.offset);
    packets.push_back(packet);
  }
  return packets;
}

std::string Sequence(std::uint16_t port) {
  std::string out;
  for (const Packet& packet : Received(port))
    out += std::to_string(packet.type) + "/" + std::to_string(packet.offset) + " ";
  return out;
}

std::string Query(std::uint16_t port, int* result, int size = 1024) {
  std::vector<std::uint8_t> answer(static_cast<std::size_t>(size));
  *result = discovery::ServerQuery(Server(), discovery::kPortNameCommand, answer.data(), size, port);
  return *result > 0 ? std::string(answer.begin(), answer.begin() + *result) : std::string();
}

TEST(QueueQuery, PiecesAreAskedForByOffsetAndAcknowledged) {
  int result = 0;
  EXPECT_EQ(Query(kOnePiece, &result), std::string("\x01LPT1\0COM1\0", 11));
  EXPECT_EQ(Sequence(kOnePiece), "1/0 3/0 ");

  const std::string three = Query(kThreePieces, &result);
  EXPECT_EQ(three, std::string("\x01LPT1\0COM1\0LPT2\0SIO\0PRN\0", 24));
  // Further pieces are type 2 at the bytes received so far; the closing
  // acknowledgement repeats the offset of the last piece.
  std::vector<Packet> p = Received(kThreePieces);
  ASSERT_EQ(p.size(), 4u) << Sequence(kThreePieces);
  EXPECT_TRUE(p[0].type == 1 && p[1].type == 2 && p[2].type == 2 && p[3].type == 3 &&
              p[0].offset == 0 && 0 < p[1].offset && p[1].offset < p[2].offset &&
              p[3].offset == p[2].offset) << Sequence(kThreePieces);
}

TEST(QueueQuery, RepliesToAnotherPacketAreNotTakenAndTheRequestIsSentAgain) {
  int result = 0;
  EXPECT_EQ(Query(kWrongOffset, &result), std::string("\x01LPT1\0COM1\0", 11));
  // The closing acknowledgement is sent once, whatever comes back.
  EXPECT_EQ(Sequence(kWrongOffset), "1/0 1/0 3/0 ");
  EXPECT_EQ(Query(kWrongType, &result), std::string("\x01LPT1\0COM1\0", 11));
  EXPECT_EQ(Sequence(kWrongType), "1/0 1/0 3/0 ");
}

TEST(QueueQuery, AnAnswerTooBigForTheBufferFails) {
  int result = 0;
  Query(kTooBig, &result);
  EXPECT_EQ(result, -1);
  // Nothing to acknowledge once the client gave up.
  for (const Packet& packet : Received(kTooBig)) EXPECT_NE(packet.type, 3);
  // The same answer fits a larger buffer.
  Query(kTooBig, &result, 4096);
  EXPECT_GT(result, 1024);
}

// A wizard page's server field and queue list, as the queue query sees
// them; the page takes the answer when it is posted, as the wizard's does.
struct Page {
  HWND window = nullptr;
  HWND combo = nullptr;
  int answers = 0;
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != ui::kQueueAnswerReady) return DefWindowProcA(window, message, wparam, lparam);
    ui::TakeQueueAnswer(window, wparam);
    ++reinterpret_cast<Page*>(GetWindowLongPtrA(window, GWLP_USERDATA))->answers;
    return 0;
  }
  explicit Page(const char* server) {
    WNDCLASSA type{};
    type.lpfnWndProc = Proc;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = "QueueTestPage";
    RegisterClassA(&type);
    window = CreateWindowExA(0, "QueueTestPage", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    CreateWindowExA(0, "EDIT", server, WS_CHILD, 0, 0, 100, 20, window,
                    reinterpret_cast<HMENU>(ui::kServerAddressField), GetModuleHandleA(nullptr),
                    nullptr);
    combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 30, 100, 200, window,
                            reinterpret_cast<HMENU>(ui::kQueueCombo),
                            GetModuleHandleA(nullptr), nullptr);
  }
  ~Page() { DestroyWindow(window); }
  void Add(const char* queue) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(queue));
  }
  std::vector<std::string> Queues() const {
    std::vector<std::string> queues;
    int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[64] = {};
      SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      queues.push_back(text);
    }
    return queues;
  }
  int Selected() const { return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }
  // Dispatches this thread's messages until `answers` reaches `count` or
  // `ms` pass; whether it did.
  bool Pump(int count, DWORD ms) {
    return gui::Poll([&] {
      for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
      return answers >= count;
    }, ms);
  }
  // One query on its worker thread, waited for.
  void Fill(std::uint16_t port) {
    int before = answers;
    ASSERT_TRUE(ui::StartQueueQuery(window, port));
    EXPECT_TRUE(Pump(before + 1, 8000));
  }
};

using Names = std::vector<std::string>;
const Names kDefaults = {"lp", "lp_p1", "lp_p2", "lp_s1", "sp"};

TEST(QueueList, ServerPortsBecomeQueueNamesReplacingTheList) {
  Page page(ServerText().c_str());
  page.Add("old");
  page.Fill(kOnePiece);
  EXPECT_EQ(page.Queues(), (Names{"lp_p1", "lp_s1"}));
  EXPECT_EQ(page.Selected(), 0);

  page.Fill(kPrinterNames);
  EXPECT_EQ(page.Queues(), (Names{"lp", "lp"}));

  // An answer with no port the monitor knows leaves the list empty, and an
  // empty list is never left to the user.
  page.Fill(kUnknownNames);
  EXPECT_EQ(page.Queues(), kDefaults);
  EXPECT_EQ(page.Selected(), 0);

  page.Fill(kThreePieces);
  EXPECT_EQ(page.Queues(), (Names{"lp_p1", "lp_s1", "lp_p2", "lp_s1", "lp"}));
}

TEST(QueueList, ASilentServerIsGivenUpAfterFiveTriesAndTheListKept) {
  Page page(ServerText().c_str());
  page.Add("kept");
  page.Add("also kept");
  DWORD start = GetTickCount();
  page.Fill(kSilent);
  DWORD took = GetTickCount() - start;
  EXPECT_EQ(page.Queues(), (Names{"kept", "also kept"}));
  EXPECT_EQ(page.Selected(), 0);
  EXPECT_GE(took, 4900u);
  EXPECT_LT(took, 7000u);
  EXPECT_EQ(Sequence(kSilent), "1/0 1/0 1/0 1/0 1/0 ");

  // An empty list gets the defaults even when the query failed; so does a
  // server field that holds no address at all.
  Page empty("not an address");
  empty.Fill(kOnePiece);
  EXPECT_EQ(empty.Queues(), kDefaults);
}

// The wizard drops a query when its page is reset or closed: the worker,
// still waiting for a silent server, must then leave the page alone, and
// a later query's answer must not be mistaken for the dropped one's.
TEST(QueueList, ADroppedQueryNeverReachesThePage) {
  Page page(ServerText().c_str());
  page.Add("kept");
  ASSERT_TRUE(ui::StartQueueQuery(page.window, kSilent));
  ui::DropQueueQuery();
  EXPECT_FALSE(page.Pump(1, 6500));
  EXPECT_EQ(page.Queues(), (Names{"kept"}));

  // A query replaced by the next one: only the second answer arrives.
  ASSERT_TRUE(ui::StartQueueQuery(page.window, kSilent));
  ASSERT_TRUE(ui::StartQueueQuery(page.window, kOnePiece));
  EXPECT_TRUE(page.Pump(1, 3000));
  EXPECT_EQ(page.Queues(), (Names{"lp_p1", "lp_s1"}));
  EXPECT_FALSE(page.Pump(2, 6500));
}

}  // namespace
