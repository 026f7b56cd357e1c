#include "monitor/store.h"

#include "ipp/url.h"
#include "monitor/passwords.h"
#include "monitor/state.h"
#include "monitor/text.h"

namespace monitor {
namespace {

constexpr DWORD kLprTimeout = 900000;
constexpr DWORD kIppTimeout = 180000;

void PortKeyPath(const char* port_name, char* out, std::size_t size) {
  CopyText(out, size, g_monitor.ports_key);
  AppendText(out, size, "\\");
  AppendText(out, size, port_name);
}

// Registry data is not trusted: every value is read into a scratch buffer of
// the field's size and copied only when its type and length are right.
void LoadDword(HKEY key, const char* name, std::uint32_t* field) {
  DWORD type = 0, value = 0, size = sizeof(value);
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
          ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof(value))
    *field = value;
}

void LoadWord(HKEY key, const char* name, std::uint16_t* field) {
  std::uint32_t value = *field;
  LoadDword(key, name, &value);
  *field = static_cast<std::uint16_t>(value);
}

// Reads at most `size` bytes including the terminator. A value written
// without its terminator is accepted when the terminator still fits.
void LoadString(HKEY key, const char* name, char* field, DWORD size) {
  auto* scratch = static_cast<char*>(Alloc(size));
  if (scratch == nullptr) return;
  DWORD type = 0, length = size;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(scratch), &length) ==
          ERROR_SUCCESS &&
      type == REG_SZ && length <= size) {
    DWORD end = 0;
    while (end < length && scratch[end] != '\0') ++end;
    if (end < size) {
      scratch[end] = '\0';
      CopyText(field, size, scratch);
    }
  }
  Free(scratch);
}

// Binary values: at most `size` bytes; returns the count read, -1 if none.
long LoadBinary(HKEY key, const char* name, void* field, DWORD size) {
  auto* scratch = static_cast<BYTE*>(Alloc(size ? size : 1));
  if (scratch == nullptr) return -1;
  long result = -1;
  DWORD type = 0, length = size;
  if (RegQueryValueExA(key, name, nullptr, &type, scratch, &length) == ERROR_SUCCESS &&
      type == REG_BINARY && length <= size) {
    CopyMemory(field, scratch, length);
    result = static_cast<long>(length);
  }
  Free(scratch);
  return result;
}

// Text fields kept as binary values: the field's last byte stays the zero.
void LoadBinaryText(HKEY key, const char* name, char* field, DWORD size) {
  ZeroMemory(field, size);
  LoadBinary(key, name, field, size - 1);
}

void WriteString(HKEY key, const char* name, const char* text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), TextLength(text));
}

void WriteBytes(HKEY key, const char* name, const void* data, DWORD size) {
  RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

void WriteTextBytes(HKEY key, const char* name, const char* text) {
  WriteBytes(key, name, text, TextLength(text));
}

void WriteNewValues(HKEY key, const void* settings, std::uint32_t kind) {
  switch (kind) {
    case kLpr: {
      auto* s = static_cast<const LprBlock*>(settings);
      WriteDword(key, "CmdTmout", kLprTimeout);
      WriteDword(key, "DatTmout", kLprTimeout);
      WriteString(key, "HostName", s->HostName);
      WriteString(key, "PortName", s->PortName);
      WriteDword(key, "PortNum", s->PortNum);
      WriteDword(key, "NonRFCPorts", 1);
      WriteDword(key, "NonByteCount", 0);
      break;
    }
    case kIpp: {
      auto* s = static_cast<const IppBlock*>(settings);
      static constexpr BYTE kNoPassword = 0;
      WriteDword(key, "CmdTmout", kIppTimeout);
      WriteDword(key, "DatTmout", kIppTimeout);
      WriteString(key, "URL", s->URL);
      WriteDword(key, "UseProxy", s->UseProxy);
      WriteString(key, "ProxyName", s->ProxyName);
      WriteDword(key, "ProxyNum", s->ProxyNum);
      WriteDword(key, "Chunked", s->Chunked);
      WriteDword(key, "MaxChunk", 4096);
      WriteString(key, "Language", s->Language);
      WriteDword(key, "Base64", 0);
      WriteString(key, "UserName", "");
      WriteBytes(key, "PassWord", &kNoPassword, 1);
      WriteDword(key, "JobSheets", 0);
      break;
    }
    case kRaw: {
      auto* s = static_cast<const RawBlock*>(settings);
      WriteDword(key, "CmdTmout", kLprTimeout);
      WriteDword(key, "DatTmout", kLprTimeout);
      WriteString(key, "HostName", s->HostName);
      WriteDword(key, "PortNum", s->PortNum);
      break;
    }
    case kMail: {
      auto* s = static_cast<const MailBlock*>(settings);
      WriteString(key, "SmtpServer", s->SmtpServer);
      WriteString(key, "FromName", s->FromName);
      WriteString(key, "FromAddr", s->FromAddr);
      WriteString(key, "ToAddr", s->ToAddr);
      WriteTextBytes(key, "Subject", s->Subject);
      WriteTextBytes(key, "Body", s->Body);
      WriteTextBytes(key, "Signature", s->Signature);
      WriteDword(key, "NoPrint", s->NoPrint);
      WriteDword(key, "EditBody", s->EditBody);
      WriteDword(key, "DivideFile", s->DivideFile);
      WriteDword(key, "DivideSize", s->DivideSize);
      WriteDword(key, "CharCode", s->CharCode);
      WriteString(key, "AuthID", s->AuthID);
      WriteTextBytes(key, "AuthPass", s->AuthPass);
      WriteDword(key, "AuthType", s->AuthType);
      break;
    }
    default:
      break;
  }
}

void LoadIpp(HKEY key, IppBlock* b) {
  LoadString(key, "URL", b->URL, sizeof(b->URL));
  ipp::ParseUrl(b);
  LoadString(key, "Language", b->Language, sizeof(b->Language));
  LoadDword(key, "Chunked", &b->Chunked);
  LoadDword(key, "MaxChunk", &b->MaxChunk);
  ZeroMemory(b->UserName, sizeof(b->UserName));
  ZeroMemory(b->PassWord, sizeof(b->PassWord));
  LoadDword(key, "Base64", &b->Base64);
  if (b->Base64 != 0) {
    LoadString(key, "UserName", b->UserName, sizeof(b->UserName));
    std::uint8_t stored[kIppPasswordStored];
    long size = LoadBinary(key, "PassWord", stored, sizeof(stored));
    if (size >= 0) DecodePassword(b->PassWord, stored, static_cast<std::size_t>(size));
  }
  LoadString(key, "ProxyName", b->ProxyName, sizeof(b->ProxyName));
  LoadDword(key, "UseProxy", &b->UseProxy);
  LoadDword(key, "ProxyNum", &b->ProxyNum);
  LoadDword(key, "JobSheets", &b->JobSheets);
}

void LoadMail(HKEY key, MailBlock* b) {
  LoadString(key, "SmtpServer", b->SmtpServer, sizeof(b->SmtpServer));
  LoadString(key, "FromName", b->FromName, sizeof(b->FromName));
  LoadString(key, "FromAddr", b->FromAddr, sizeof(b->FromAddr));
  LoadString(key, "ToAddr", b->ToAddr, sizeof(b->ToAddr));
  LoadDword(key, "NoPrint", &b->NoPrint);
  LoadDword(key, "EditBody", &b->EditBody);
  LoadDword(key, "DivideFile", &b->DivideFile);
  LoadDword(key, "DivideSize", &b->DivideSize);
  LoadWord(key, "CharCode", &b->CharCode);
  LoadDword(key, "AuthType", &b->AuthType);
  LoadString(key, "AuthID", b->AuthID, sizeof(b->AuthID));
  LoadBinaryText(key, "AuthPass", b->AuthPass, sizeof(b->AuthPass));
  ZeroMemory(b->Subject, sizeof(b->Subject));
  ZeroMemory(b->Body, sizeof(b->Body));
  ZeroMemory(b->Signature, sizeof(b->Signature));
  if (b->NoPrint == 0 && b->EditBody == 0) {
    LoadBinaryText(key, "Subject", b->Subject, sizeof(b->Subject));
    LoadBinaryText(key, "Body", b->Body, sizeof(b->Body));
    LoadBinaryText(key, "Signature", b->Signature, sizeof(b->Signature));
  }
}

}  // namespace

bool ReadKeyValue(HKEY root, const char* path, const char* value, void* data, DWORD* size,
                  DWORD* type) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  LONG status = RegQueryValueExA(key, value, nullptr, type, static_cast<BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool WriteKeyValue(const char* path, const char* value, const void* data, DWORD size, DWORD type) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
  LONG status = RegSetValueExA(key, value, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool WriteDword(HKEY key, const char* value, DWORD number) {
  return RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                        sizeof(number)) == ERROR_SUCCESS;
}

DWORD ReadMonitorDword(const char* value, DWORD fallback) {
  DWORD number = 0, size = sizeof(number), type = 0;
  if (ReadKeyValue(HKEY_LOCAL_MACHINE, g_monitor.monitor_key, value, &number, &size, &type) &&
      type == REG_DWORD && size == sizeof(number))
    return number;
  return fallback;
}

bool ReadInstallPath(char* buffer, DWORD size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitor_key, 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  LoadString(key, "InstallPath", buffer, size);
  RegCloseKey(key);
  return buffer[0] != '\0';
}

bool ReadPrintMode(const char* port_name, DWORD* kind) {
  char path[400];
  PortKeyPath(port_name, path, sizeof(path));
  DWORD value = 0, size = sizeof(value), type = 0;
  if (!ReadKeyValue(HKEY_LOCAL_MACHINE, path, "PrintMode", &value, &size, &type) ||
      type != REG_DWORD || size != sizeof(value))
    return false;
  *kind = value;
  return true;
}

bool CreatePortRecord(const void* settings, const char* port_name, std::uint32_t kind) {
  char path[400];
  PortKeyPath(port_name, path, sizeof(path));
  HKEY key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, &disposition) != ERROR_SUCCESS)
    return false;
  if (disposition == REG_CREATED_NEW_KEY) {
    WriteDword(key, "PrintMode", kind);
    WriteDword(key, "NonSpool", 0);
    WriteDword(key, "Reconnection", ReadMonitorDword("Reconnection", 0));
    WriteNewValues(key, settings, kind);
  }
  RegCloseKey(key);
  return true;
}

LONG LoadPortRecord(PortEntry* port, const char* registry_name) {
  char path[400];
  PortKeyPath(registry_name, path, sizeof(path));
  HKEY key;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return status;
  LoadDword(key, "CmdTmout", &port->cmd_timeout);
  LoadDword(key, "DatTmout", &port->data_timeout);
  LoadDword(key, "PrintMode", &port->kind);
  LoadDword(key, "NonSpool", &port->NonSpool);
  LoadDword(key, "Reconnection", &port->Reconnection);
  port->SendBufSize = ReadMonitorDword("SendBufSize", 16384);
  if (port->block != nullptr && port->kind == port->block_kind) {
    switch (port->kind) {
      case kLpr: {
        LprBlock* b = Lpr(port);
        LoadString(key, "HostName", b->HostName, sizeof(b->HostName));
        LoadString(key, "PortName", b->PortName, sizeof(b->PortName));
        b->NonRFCPorts = 1;
        LoadWord(key, "PortNum", &b->PortNum);
        LoadDword(key, "NonRFCPorts", &b->NonRFCPorts);
        LoadDword(key, "NonByteCount", &b->NonByteCount);
        break;
      }
      case kIpp: LoadIpp(key, Ipp(port)); break;
      case kMail: LoadMail(key, Mail(port)); break;
      case kRaw: {
        RawBlock* b = Raw(port);
        LoadString(key, "HostName", b->HostName, sizeof(b->HostName));
        LoadWord(key, "PortNum", &b->PortNum);
        break;
      }
      default: break;
    }
  }
  RegCloseKey(key);
  return ERROR_SUCCESS;
}

bool DeletePortRecord(const char* port_name) {
  char path[400];
  PortKeyPath(port_name, path, sizeof(path));
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS;
}

bool IsRegisteredPort(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.ports_key, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  bool found = false;
  char subkey[260];
  for (DWORD i = 0; !found && RegEnumKeyA(key, i, subkey, sizeof(subkey)) == ERROR_SUCCESS; ++i)
    found = lstrcmpA(subkey, name) == 0;
  RegCloseKey(key);
  return found;
}

}  // namespace monitor
