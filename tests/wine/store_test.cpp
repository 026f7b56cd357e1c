// The port records in the registry: what a new port gets, what a load reads,
// and what a damaged or hostile value does (never more than its field); and
// the texts and message boxes from NIMMES.INI in the install folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ini.h"
#include "core/passwords.h"
#include "core/port_values.h"
#include "core/store.h"
#include "core/text.h"
#include "tests/wine/fixture.h"

using namespace core;
using namespace wine_test;

namespace {

constexpr DWORD kAbsent = 0xDEADBEEF;
DWORD Dword(const std::string& port, const char* name) {
  std::string value = Value(PortKey(port), name, REG_DWORD);
  return value.size() == 4 ? *reinterpret_cast<const DWORD*>(value.data()) : kAbsent;
}

// An entry as the port table holds it; a guard byte follows its block.
struct Entry {
  PortEntry port{};
  std::vector<unsigned char> block;
  explicit Entry(std::uint32_t kind) : block(BlockSize(kind) + 1, 0) {
    port.kind = port.block_kind = kind;
    port.block = block.data();
  }
};

std::string Text(const char* key, const TextInsert& insert = {}) {
  char out[1100];
  return IniText(kMessageIni, kMessageSection, key, insert, out, sizeof(out));
}

std::string Shown(const char* key, const TextInsert& insert = {}) {
  AnsweredBoxes::text = "none shown";
  EXPECT_EQ(MessageFromIni(nullptr, key, MB_ICONHAND, insert), IDOK);
  return AnsweredBoxes::text;
}

struct Store : ::testing::Test {
  void SetUp() override { UseTestMonitor(); }
};

}  // namespace

TEST_F(Store, NewPortsGetTheirKindsDefaultsAndAreFoundByTheirExactName) {
  SetDword(MonitorKey(), "Reconnection", 1);
  SetDword(PortKey("Taken"), "PrintMode", 2);  // an existing key is left as it is
  LprBlock lpr{};
  CopyText(lpr.HostName, sizeof(lpr.HostName), "printer1");
  lpr.PortNum = 515;
  IppBlock ipp{};
  MailBlock mail{};
  CopyText(mail.Subject, sizeof(mail.Subject), "Hello");
  ASSERT_TRUE(CreatePortRecord(&lpr, "Lpr", kLpr) && CreatePortRecord(&lpr, "Taken", kLpr));
  ASSERT_TRUE(CreatePortRecord(&ipp, "Ipp", kIpp) && CreatePortRecord(&mail, "Mail", kMail));
  EXPECT_TRUE(IsRegisteredPort("Lpr") && !IsRegisteredPort("LPR") && !IsRegisteredPort("Lpr:"));
  const struct { const char* port; const char* name; DWORD value; } rows[] = {
      {"Lpr", "PrintMode", 0},   {"Lpr", "Reconnection", 1},    {"Lpr", "CmdTmout", 900000},
      {"Lpr", "DatTmout", 900000}, {"Lpr", "NonRFCPorts", 1},   {"Lpr", "PortNum", 515},
      {"Ipp", "CmdTmout", 180000}, {"Ipp", "MaxChunk", 4096},   {"Mail", "PrintMode", 3},
      {"Mail", "CmdTmout", kAbsent}, {"Taken", "PrintMode", 2}, {"Taken", "NonRFCPorts", kAbsent}};
  for (const auto& row : rows) EXPECT_EQ(Dword(row.port, row.name), row.value) << row.name;
  EXPECT_EQ(Value(PortKey("Lpr"), "HostName", REG_SZ), std::string("printer1", 9));
  EXPECT_EQ(Value(PortKey("Ipp"), "PassWord", REG_BINARY), std::string(1, '\0'));
  EXPECT_EQ(Value(PortKey("Mail"), "Subject", REG_BINARY), "Hello");
  EXPECT_TRUE(DeletePortRecord("Lpr") && !IsRegisteredPort("Lpr") && !DeletePortRecord("Lpr"));
}

TEST_F(Store, LoadReadsWhatIsThereAndMissingValuesKeepTheirFields) {
  SetValue(PortKey("P"), "HostName", REG_SZ, "printer1", 8);  // no zero, but room for one
  SetDword(PortKey("P"), "PortNum", 0x12345);  // into a 16-bit field
  SetDword(PortKey("P"), "DatTmout", 777);
  Entry e(kLpr);
  e.port.cmd_timeout = 1234;
  ASSERT_EQ(LoadPortRecord(&e.port, "P"), ERROR_SUCCESS);
  EXPECT_STREQ(Lpr(&e.port)->HostName, "printer1");
  EXPECT_EQ(Lpr(&e.port)->PortNum, 0x2345);
  EXPECT_EQ(Lpr(&e.port)->NonRFCPorts, 1u);  // a missing one reads as on
  EXPECT_EQ(e.port.cmd_timeout, 1234u);
  EXPECT_EQ(e.port.data_timeout, 777u);
  EXPECT_EQ(e.port.SendBufSize, 16384u);
  SetDword(MonitorKey(), "SendBufSize", 65536);
  LoadPortRecord(&e.port, "P");
  EXPECT_EQ(e.port.SendBufSize, 65536u);
  EXPECT_NE(LoadPortRecord(&e.port, "NoSuchPort"), ERROR_SUCCESS);
}

TEST_F(Store, IppCredentialsAreReadOnlyWithBase64On) {
  SetString(PortKey("I"), "URL", "ipp://127.0.0.1:8631/printers/q");
  SetString(PortKey("I"), "UserName", "alice");
  std::uint8_t stored[kIppPasswordStored];
  SetValue(PortKey("I"), "PassWord", REG_BINARY, stored, EncodePassword(stored, "s3cret"));
  Entry e(kIpp);
  CopyText(Ipp(&e.port)->UserName, 65, "left over");
  LoadPortRecord(&e.port, "I");
  EXPECT_STREQ(Ipp(&e.port)->UserName, "");
  EXPECT_STREQ(Ipp(&e.port)->PassWord, "");
  EXPECT_STREQ(Ipp(&e.port)->path, "/printers/q");
  SetDword(PortKey("I"), "Base64", 1);
  LoadPortRecord(&e.port, "I");
  EXPECT_STREQ(Ipp(&e.port)->UserName, "alice");
  EXPECT_STREQ(Ipp(&e.port)->PassWord, "s3cret");
}

TEST_F(Store, HostileValuesLeaveTheirFieldsAsTheyWere) {
  SetDword(PortKey("H"), "Base64", 1);
  SetString(PortKey("H"), "UserName", std::string(300, 'u'));           // longer than its field
  SetValue(PortKey("H"), "Language", REG_SZ, "xxxxxxxxxxxxxxxxx", 17);  // no room for the zero
  SetValue(PortKey("H"), "ProxyName", REG_BINARY, "proxy", 6);          // text of the wrong type
  SetValue(PortKey("H"), "MaxChunk", REG_BINARY, "8192", 4);            // a number, wrong type
  SetValue(PortKey("H"), "JobSheets", REG_DWORD, "\1\2", 2);            // a number, wrong size
  // Password counts beyond the bytes stored, above the 64-character field, or both.
  for (std::string password : {std::string("\xFF\0ab", 4), std::string("\3\0ab", 4),
                               std::string("\x41\0", 2) + std::string(64, 'p'),
                               std::string("\x41\0", 2) + std::string(65, 'p')}) {
    SetValue(PortKey("H"), "PassWord", REG_BINARY, password.data(), password.size());
    Entry e(kIpp);
    CopyText(Ipp(&e.port)->Language, 17, "en-us");
    Ipp(&e.port)->MaxChunk = Ipp(&e.port)->JobSheets = 7;
    LoadPortRecord(&e.port, "H");
    EXPECT_STREQ(Ipp(&e.port)->PassWord, "") << password.size();
    EXPECT_EQ(std::string(Ipp(&e.port)->UserName) + Ipp(&e.port)->ProxyName, "");
    EXPECT_STREQ(Ipp(&e.port)->Language, "en-us");
    EXPECT_EQ(Ipp(&e.port)->MaxChunk + Ipp(&e.port)->JobSheets, 14u);
    EXPECT_EQ(e.block.back(), 0) << "wrote past the block";
  }
  // A PrintMode changed behind the monitor's back: the block keeps its shape.
  SetDword(PortKey("H"), "PrintMode", kMail);
  SetString(PortKey("H"), "ToAddr", std::string(6000, 'a'));
  Entry e(kIpp);
  LoadPortRecord(&e.port, "H");
  EXPECT_EQ(e.port.kind, static_cast<std::uint32_t>(kMail));
  EXPECT_EQ(e.block.back(), 0);
}

TEST_F(Store, MailTextsOnlyWhenNeitherNoPrintNorEditBody) {
  Entry e(kMail);
  const struct { DWORD edit_body; std::string subject, loaded; } rows[] = {
      {1, "Subject", ""}, {0, "Subject", "Subject"}, {0, std::string(66, 's'), ""}};  // too long
  for (const auto& row : rows) {
    SetDword(PortKey("M"), "EditBody", row.edit_body);
    SetValue(PortKey("M"), "Subject", REG_BINARY, row.subject.data(), row.subject.size());
    CopyText(Mail(&e.port)->Subject, 66, "stale");
    LoadPortRecord(&e.port, "M");
    EXPECT_EQ(Mail(&e.port)->Subject, row.loaded) << row.edit_body << row.subject;
  }
}

// The E-mail dialog's write: texts with their length only, the password
// scrambled, and each dependent value only under the setting it depends on.
TEST_F(Store, ConfigureWritesAMailPortUnderItsConditions) {
  Entry e(kMail);
  MailBlock& mail = *Mail(&e.port);
  CopyText(mail.SmtpServer, sizeof(mail.SmtpServer), "smtp1");
  CopyText(mail.Subject, sizeof(mail.Subject), "Hi");
  CopyText(mail.AuthID, sizeof(mail.AuthID), "me");
  // Clear, as the dialog edits it; "\x8A" + 'v' wraps to zero and ends the stored value.
  CopyText(mail.AuthPass, sizeof(mail.AuthPass), "pw\x8A" "x");
  mail.CharCode = 2;
  e.port.cmd_timeout = 60000;
  EXPECT_FALSE(WriteConfiguredValues("M", &e.port)) << "no key, nothing written";
  EXPECT_FALSE(IsRegisteredPort("M"));
  const struct {
    DWORD no_print, edit_body, divide, auth;
    const char* subject;  // "absent" or the bytes
    DWORD edit_written, size_written;
    const char* pass;
  } rows[] = {
      {0, 0, 1, 1, "Hi", 0, 50, "\xE2\xE6"},
      {0, 1, 0, 0, "absent", 1, kAbsent, "absent"},
      {1, 1, 0, 0, "absent", kAbsent, kAbsent, "absent"},
  };
  for (const auto& row : rows) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, PortKey("M").c_str());
    SetDword(PortKey("M"), "PrintMode", kMail);
    mail.NoPrint = row.no_print, mail.EditBody = row.edit_body;
    mail.DivideFile = row.divide, mail.DivideSize = 50, mail.AuthType = row.auth;
    ASSERT_TRUE(WriteConfiguredValues("M", &e.port));
    SCOPED_TRACE(testing::Message() << row.no_print << row.edit_body);
    // Wine's ANSI calls read a text written without its zero back with one.
    EXPECT_EQ(Value(PortKey("M"), "SmtpServer", REG_SZ), std::string("smtp1", 6));
    EXPECT_EQ(Value(PortKey("M"), "ToAddr", REG_SZ), "");
    EXPECT_EQ(Value(PortKey("M"), "Subject", REG_BINARY), row.subject);
    EXPECT_EQ(Dword("M", "EditBody"), row.edit_written);
    EXPECT_EQ(Dword("M", "DivideSize"), row.size_written);
    EXPECT_EQ(Value(PortKey("M"), "AuthPass", REG_BINARY), row.pass);
    EXPECT_EQ(Value(PortKey("M"), "AuthID", REG_SZ), row.auth ? std::string("me", 3) : "absent");
    EXPECT_EQ(Dword("M", "CharCode"), 2u);
    EXPECT_EQ(Dword("M", "CmdTmout"), kAbsent);
    EXPECT_EQ(Dword("M", "Reconnection"), kAbsent);
  }
  EXPECT_STREQ(mail.AuthPass, "pw\x8A" "x") << "the dialog's copy stays clear";
}

TEST(Ini, TextsAndBoxesFromTheInstallFolder) {
  std::string folder = UseInstallFolder("vexa_ini_test");
  char path[MAX_PATH];
  WriteIni(folder, "NIMMES.INI",
           "[MESSAGE]\r\nTITLE=Test Title\r\nIDS_LINES=first\\nsecond\\tthird\r\n"
           "IDS_CODE=status %04x\r\nIDS_NAME=port \"%s\"\r\nIDS_GREEDY=%s and %s\r\n"
           "IDS_REWORDED=Refused: %s\r\n");
  SetString(MonitorKey(), "InstallPath", folder + "\\");
  EXPECT_EQ(std::string(IniPath("X.INI", path, sizeof(path))), folder + "\\X.INI");
  SetString(MonitorKey(), "InstallPath", folder);
  EXPECT_EQ(std::string(IniPath("X.INI", path, sizeof(path))), folder + "\\X.INI");

  EXPECT_EQ(Text("IDS_LINES"), "first\r\nsecond\tthird");
  EXPECT_EQ(Text("IDS_CODE", NumberInsert(1027)), "status 0403");
  EXPECT_EQ(Text("IDS_CODE"), "status %04x");  // no insert: the text as it stands
  EXPECT_EQ(Text("IDS_NAME", TextInsertOf("Raw1")), "port \"Raw1\"");
  // A second conversion would read an argument never passed.
  EXPECT_EQ(Text("IDS_GREEDY", TextInsertOf("x")), "%s and %s");
  EXPECT_EQ(Text("IDS_MISSING"), "");

  AnsweredBoxes boxes;
  EXPECT_EQ(Shown("IDS_LINES"), "first\r\nsecond\tthird");
  EXPECT_EQ(boxes.title, "Test Title");
  EXPECT_EQ(Shown("IDS_CODE", NumberInsert(0x0404)), "status 0404");
  // Reworded with a conversion of the wrong type: shown, not formatted.
  EXPECT_EQ(Shown("IDS_REWORDED", NumberInsert(0x0400)), "Refused: %s");
  EXPECT_EQ(Shown("IDS_NOT_THERE"), "ERROR");
  // Without an install path nothing is read from the Windows folder either.
  SetString(MonitorKey(), "InstallPath", "");
  EXPECT_EQ(Shown("IDS_LINES"), "ERROR");
  EXPECT_EQ(boxes.title, kBuiltInErrorTitle);
  EXPECT_EQ(Text("IDS_LINES"), "");
}
