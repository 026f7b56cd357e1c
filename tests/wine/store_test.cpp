// The port records in the registry: what a new port gets, what a load reads,
// and what a damaged or hostile value does (never more than its field).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/passwords.h"
#include "monitor/state.h"
#include "monitor/store.h"
#include "monitor/text.h"
#include "tests/wine/monitor_fixture.h"

using namespace monitor;
using namespace wine_test;

namespace {

struct Value {
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> data;
  DWORD Dword() const { return data.size() == 4 ? *reinterpret_cast<const DWORD*>(data.data()) : 0xDEADBEEF; }
};

Value Read(const std::string& port, const char* name) {
  Value v;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PortKey(port).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return v;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.present = true;
    v.data.resize(size);
    RegQueryValueExA(key, name, nullptr, &v.type, v.data.data(), &size);
  }
  RegCloseKey(key);
  return v;
}

// An entry as the port table would hold it, with a block of the kind.
struct Entry {
  PortEntry port{};
  std::vector<unsigned char> block;
  explicit Entry(std::uint32_t kind) : block(BlockSize(kind) + 1, 0) {
    port.kind = port.block_kind = kind;
    port.block = block.data();
  }
};

class Store : public ::testing::Test {
 protected:
  void SetUp() override { UseTestMonitor(); }
};

}  // namespace

TEST_F(Store, NewPortsGetTheirKindsDefaults) {
  SetDword(MonitorKey(), "Reconnection", 1);

  LprBlock lpr{};
  CopyText(lpr.HostName, sizeof(lpr.HostName), "printer1");
  CopyText(lpr.PortName, sizeof(lpr.PortName), "lp");
  lpr.PortNum = 515;
  ASSERT_TRUE(CreatePortRecord(&lpr, "LprPort", kLpr));
  EXPECT_EQ(Read("LprPort", "PrintMode").Dword(), 0u);
  EXPECT_EQ(Read("LprPort", "Reconnection").Dword(), 1u);
  EXPECT_EQ(Read("LprPort", "CmdTmout").Dword(), 900000u);
  EXPECT_EQ(Read("LprPort", "DatTmout").Dword(), 900000u);
  EXPECT_EQ(Read("LprPort", "NonRFCPorts").Dword(), 1u);
  EXPECT_EQ(Read("LprPort", "PortNum").Dword(), 515u);
  Value host = Read("LprPort", "HostName");
  EXPECT_EQ(host.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::string(host.data.begin(), host.data.end()).c_str(), std::string("printer1"));
  EXPECT_FALSE(Read("LprPort", "URL").present);

  IppBlock ipp{};
  CopyText(ipp.URL, sizeof(ipp.URL), "ipp://h/q");
  ASSERT_TRUE(CreatePortRecord(&ipp, "IppPort", kIpp));
  EXPECT_EQ(Read("IppPort", "CmdTmout").Dword(), 180000u);
  EXPECT_EQ(Read("IppPort", "MaxChunk").Dword(), 4096u);
  EXPECT_EQ(Read("IppPort", "Base64").Dword(), 0u);
  Value password = Read("IppPort", "PassWord");
  EXPECT_EQ(password.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(password.data, std::vector<BYTE>{0});

  MailBlock mail{};
  CopyText(mail.Subject, sizeof(mail.Subject), "Hello");
  ASSERT_TRUE(CreatePortRecord(&mail, "MailPort", kMail));
  EXPECT_EQ(Read("MailPort", "PrintMode").Dword(), 3u);
  EXPECT_FALSE(Read("MailPort", "CmdTmout").present);
  EXPECT_FALSE(Read("MailPort", "DatTmout").present);
  Value subject = Read("MailPort", "Subject");
  EXPECT_EQ(subject.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(std::string(subject.data.begin(), subject.data.end()), "Hello");
}

TEST_F(Store, AnExistingKeyKeepsEveryValue) {
  SetDword(PortKey("Taken"), "PrintMode", 2);
  SetString(PortKey("Taken"), "HostName", "kept");
  LprBlock lpr{};
  CopyText(lpr.HostName, sizeof(lpr.HostName), "new");
  ASSERT_TRUE(CreatePortRecord(&lpr, "Taken", kLpr));
  EXPECT_EQ(Read("Taken", "PrintMode").Dword(), 2u);
  EXPECT_FALSE(Read("Taken", "NonRFCPorts").present);
}

TEST_F(Store, LoadRoundTripsAndMissingValuesKeepTheirFields) {
  LprBlock lpr{};
  CopyText(lpr.HostName, sizeof(lpr.HostName), "printer1");
  CopyText(lpr.PortName, sizeof(lpr.PortName), "queue");
  lpr.PortNum = 515;
  ASSERT_TRUE(CreatePortRecord(&lpr, "P", kLpr));
  HKEY key;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, PortKey("P").c_str(), 0, KEY_ALL_ACCESS, &key);
  RegDeleteValueA(key, "NonRFCPorts");
  RegDeleteValueA(key, "CmdTmout");
  RegCloseKey(key);

  Entry e(kLpr);
  e.port.cmd_timeout = 1234;
  Lpr(&e.port)->NonRFCPorts = 0;
  ASSERT_EQ(LoadPortRecord(&e.port, "P"), ERROR_SUCCESS);
  EXPECT_STREQ(Lpr(&e.port)->HostName, "printer1");
  EXPECT_STREQ(Lpr(&e.port)->PortName, "queue");
  EXPECT_EQ(Lpr(&e.port)->PortNum, 515);
  EXPECT_EQ(Lpr(&e.port)->NonRFCPorts, 1u);  // missing reads as on
  EXPECT_EQ(e.port.cmd_timeout, 1234u);
  EXPECT_EQ(e.port.data_timeout, 900000u);
  EXPECT_EQ(e.port.SendBufSize, 16384u);

  SetDword(MonitorKey(), "SendBufSize", 65536);
  LoadPortRecord(&e.port, "P");
  EXPECT_EQ(e.port.SendBufSize, 65536u);

  EXPECT_NE(LoadPortRecord(&e.port, "NoSuchPort"), ERROR_SUCCESS);
  EXPECT_STREQ(Lpr(&e.port)->HostName, "printer1");
}

TEST_F(Store, IppCredentialsAreReadOnlyWithBase64On) {
  IppBlock ipp{};
  CopyText(ipp.URL, sizeof(ipp.URL), "ipp://127.0.0.1:8631/printers/q");
  ASSERT_TRUE(CreatePortRecord(&ipp, "I", kIpp));
  SetString(PortKey("I"), "UserName", "alice");
  std::uint8_t stored[kIppPasswordStored];
  DWORD size = static_cast<DWORD>(EncodePassword(stored, "s3cret"));
  SetValue(PortKey("I"), "PassWord", REG_BINARY, stored, size);

  Entry e(kIpp);
  CopyText(Ipp(&e.port)->UserName, 65, "left over");
  LoadPortRecord(&e.port, "I");
  EXPECT_STREQ(Ipp(&e.port)->UserName, "");
  EXPECT_STREQ(Ipp(&e.port)->PassWord, "");
  EXPECT_STREQ(Ipp(&e.port)->host, "127.0.0.1");
  EXPECT_EQ(Ipp(&e.port)->port, 8631u);
  EXPECT_STREQ(Ipp(&e.port)->path, "/printers/q");

  SetDword(PortKey("I"), "Base64", 1);
  LoadPortRecord(&e.port, "I");
  EXPECT_STREQ(Ipp(&e.port)->UserName, "alice");
  EXPECT_STREQ(Ipp(&e.port)->PassWord, "s3cret");
}

TEST_F(Store, HostileValuesNeverOverflowAField) {
  IppBlock ipp{};
  ASSERT_TRUE(CreatePortRecord(&ipp, "H", kIpp));
  SetDword(PortKey("H"), "Base64", 1);
  // A password count far beyond the bytes stored: the password stays empty.
  BYTE lying[] = {0xFF, 0x00, 'a', 'b'};
  SetValue(PortKey("H"), "PassWord", REG_BINARY, lying, sizeof(lying));
  // A user name longer than its 65-byte field: the field keeps what it had.
  SetString(PortKey("H"), "UserName", std::string(300, 'u'));
  // A language stored without its terminator, exactly filling the field.
  std::string language(17, 'x');
  SetValue(PortKey("H"), "Language", REG_SZ, language.data(), 17);
  // Numbers of the wrong type or size are ignored.
  SetString(PortKey("H"), "MaxChunk", "8192");
  BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  SetValue(PortKey("H"), "Chunked", REG_BINARY, eight, sizeof(eight));

  Entry e(kIpp);
  CopyText(Ipp(&e.port)->Language, 17, "en-us");
  Ipp(&e.port)->MaxChunk = 4096;
  Ipp(&e.port)->Chunked = 0;
  LoadPortRecord(&e.port, "H");
  EXPECT_STREQ(Ipp(&e.port)->PassWord, "");
  EXPECT_STREQ(Ipp(&e.port)->UserName, "");
  EXPECT_STREQ(Ipp(&e.port)->Language, "en-us");
  EXPECT_EQ(Ipp(&e.port)->MaxChunk, 4096u);
  EXPECT_EQ(Ipp(&e.port)->Chunked, 0u);
  EXPECT_EQ(e.block.back(), 0) << "wrote past the block";

  // A string written without its terminator that still fits is accepted.
  SetValue(PortKey("H"), "Language", REG_SZ, "de", 2);
  LoadPortRecord(&e.port, "H");
  EXPECT_STREQ(Ipp(&e.port)->Language, "de");
}

TEST_F(Store, NumbersGoIntoSixteenBitFieldsByTruncation) {
  RawBlock raw{};
  ASSERT_TRUE(CreatePortRecord(&raw, "R", kRaw));
  SetDword(PortKey("R"), "PortNum", 0x12345);
  Entry e(kRaw);
  LoadPortRecord(&e.port, "R");
  EXPECT_EQ(Raw(&e.port)->PortNum, 0x2345);
}

TEST_F(Store, AChangedPrintModeNeverReadsIntoABlockOfAnotherShape) {
  RawBlock raw{};
  CopyText(raw.HostName, sizeof(raw.HostName), "raw-host");
  ASSERT_TRUE(CreatePortRecord(&raw, "Shifty", kRaw));
  SetDword(PortKey("Shifty"), "PrintMode", kMail);
  SetString(PortKey("Shifty"), "ToAddr", std::string(6000, 'a'));
  Entry e(kRaw);
  LoadPortRecord(&e.port, "Shifty");
  EXPECT_EQ(e.port.kind, static_cast<std::uint32_t>(kMail));
  EXPECT_STREQ(Raw(&e.port)->HostName, "");  // nothing kind-specific was read
  EXPECT_EQ(e.block.back(), 0);
}

TEST_F(Store, MailTextsOnlyWhenNeitherNoPrintNorEditBody) {
  MailBlock mail{};
  CopyText(mail.Subject, sizeof(mail.Subject), "Subject");
  CopyText(mail.Body, sizeof(mail.Body), "Body");
  char password[] = "pw";
  Scramble(password);
  CopyText(mail.AuthPass, sizeof(mail.AuthPass), password);
  mail.EditBody = 1;
  ASSERT_TRUE(CreatePortRecord(&mail, "M", kMail));
  Entry e(kMail);
  CopyText(Mail(&e.port)->Subject, 66, "stale");
  LoadPortRecord(&e.port, "M");
  EXPECT_STREQ(Mail(&e.port)->Subject, "");
  EXPECT_STREQ(Mail(&e.port)->Body, "");
  EXPECT_STREQ(Mail(&e.port)->AuthPass, password);  // stays scrambled in memory
  char clear[257];
  CopyText(clear, sizeof(clear), Mail(&e.port)->AuthPass);
  Unscramble(clear);
  EXPECT_STREQ(clear, "pw");

  SetDword(PortKey("M"), "EditBody", 0);
  LoadPortRecord(&e.port, "M");
  EXPECT_STREQ(Mail(&e.port)->Subject, "Subject");
  EXPECT_STREQ(Mail(&e.port)->Body, "Body");
  // A subject longer than its field is not read at all.
  SetValue(PortKey("M"), "Subject", REG_BINARY, std::string(200, 's').data(), 200);
  LoadPortRecord(&e.port, "M");
  EXPECT_STREQ(Mail(&e.port)->Subject, "");
}

TEST_F(Store, RegisteredPortNamesAreCaseSensitive) {
  SetDword(PortKey("Port_A"), "PrintMode", 0);
  EXPECT_TRUE(IsRegisteredPort("Port_A"));
  EXPECT_FALSE(IsRegisteredPort("PORT_A"));
  EXPECT_FALSE(IsRegisteredPort("Port_A:"));
  EXPECT_TRUE(DeletePortRecord("Port_A"));
  EXPECT_FALSE(IsRegisteredPort("Port_A"));
  EXPECT_FALSE(DeletePortRecord("Port_A"));
}
